// What the saver does with the main application's reply to a forwarded message, and where the
// splash goes in the window: plain decisions over values.
#ifndef NVR_SAVER_BRIDGE_REPLY_TABLE_H
#define NVR_SAVER_BRIDGE_REPLY_TABLE_H

#include <cstdint>

// Message numbers of the platform that the table names; the Win32 side checks them against its
// own WM_ values.
enum : uint32_t {
  MSG_CLOSE = 0x0010,
  MSG_SETCURSOR = 0x0020,
  MSG_KEYDOWN = 0x0100,
  MSG_KEYUP = 0x0101,
  MSG_MOUSEMOVE = 0x0200,
  MSG_LBUTTONDOWN = 0x0201,
  MSG_RBUTTONDOWN = 0x0204,
  MSG_MBUTTONDOWN = 0x0207,
};

enum ReplyAction : uint32_t {
  REPLY_PASS_ON = 0,      // the message takes the saver's own rules
  REPLY_SWALLOW = 1,      // the result is 0 and nothing else happens
  REPLY_RETURN_REPLY = 2, // the result is the application's reply
  REPLY_SET_CURSOR = 3,   // the reply names a cursor to show; the result is 0
};

// The action for a message that the application answered with reply (0 when it did not answer).
ReplyAction ChooseReplyAction(uint32_t message, intptr_t reply);

// The cursor resource identifier a WM_SETCURSOR reply names, or 0 when the reply cannot be one.
// Only values up to 0xFFFF are identifiers; anything larger would be taken for a name pointer.
uint32_t CursorIdFromReply(intptr_t reply);

// Offset that centres size within [start, end): (end - start - size) / 2, rounding toward zero,
// so a picture larger than the area is cut evenly (one pixel more on the far side when odd).
int32_t CentreOffset(int32_t start, int32_t end, int32_t size);

#endif
