#include "saver/bridge/reply_table.h"

namespace {
// A WM_CLOSE reply of 1 keeps the saver; any other nonzero reply lets the close through.
const intptr_t KEEP_SAVER = 1;
}  // namespace

ReplyAction ChooseReplyAction(uint32_t message, intptr_t reply) {
  if (reply == 0) return REPLY_PASS_ON;
  switch (message) {
    case MSG_CLOSE:
      return reply == KEEP_SAVER ? REPLY_SWALLOW : REPLY_PASS_ON;
    case MSG_SETCURSOR:
      return REPLY_SET_CURSOR;
    case MSG_KEYDOWN:
    case MSG_KEYUP:
    case MSG_MOUSEMOVE:
    case MSG_LBUTTONDOWN:
    case MSG_RBUTTONDOWN:
    case MSG_MBUTTONDOWN:
      return REPLY_SWALLOW;
    default:
      return REPLY_RETURN_REPLY;
  }
}

uint32_t CursorIdFromReply(intptr_t reply) {
  if (reply <= 0 || reply > 0xFFFF) return 0;
  return static_cast<uint32_t>(reply);
}

int32_t CentreOffset(int32_t start, int32_t end, int32_t size) {
  // Wide arithmetic so that no input overflows; C++ division truncates toward zero.
  int64_t spare = static_cast<int64_t>(end) - start - size;
  return static_cast<int32_t>(spare / 2);
}
