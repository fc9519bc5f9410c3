#include "saver/bridge/splash_win.h"

#include "common/app_profile.h"
#include "saver/bridge/app_launch_win.h"
#include "saver/bridge/bridge_state_win.h"
#include "saver/bridge/dib_win.h"
#include "saver/bridge/splash_path.h"

namespace {

const char CONFIG_NAME[] = "nvr";
const char CONFIG_EXTENSION[] = "cfg";
const char CONFIG_SECTION[] = "nvr";
const char PICTURE_KEY[] = "kestro";
const char PICTURE_DEFAULT[] = "splash";
const char PREVIEW_PICTURE_KEY[] = "kestro_sml";
const char PREVIEW_PICTURE_DEFAULT[] = "nvrsml";
const char PICTURE_DIRECTORY[] = "Images\\";
const char PICTURE_EXTENSION[] = "bmp";

int IsLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte); }

// The picture's path, or 0 when a part does not fit its buffer: a cut path would name some
// other file, so the picture is then treated as missing.
int PicturePath(DWORD preview, char* picturePath) {
  char commandLine[PATH_SIZE];
  GetProfileStringA(APP_PROFILE_SECTION, APP_PROFILE_KEY, APP_DEFAULT_PATH, commandLine,
                    sizeof commandLine);
  char drive[DRIVE_SIZE];
  char directory[DIRECTORY_SIZE];
  if (!SplitPath(commandLine, drive, sizeof drive, directory, sizeof directory, &IsLeadByte)) {
    return 0;
  }
  char configPath[PATH_SIZE];
  if (!MakePath(configPath, sizeof configPath, drive, directory, CONFIG_NAME, CONFIG_EXTENSION,
                &IsLeadByte)) {
    return 0;
  }
  char name[PATH_SIZE];
  GetPrivateProfileStringA(CONFIG_SECTION, preview ? PREVIEW_PICTURE_KEY : PICTURE_KEY,
                           preview ? PREVIEW_PICTURE_DEFAULT : PICTURE_DEFAULT, name, sizeof name,
                           configPath);
  if (!AppendPath(directory, sizeof directory, PICTURE_DIRECTORY)) return 0;
  return MakePath(picturePath, PATH_SIZE, drive, directory, name, PICTURE_EXTENSION, &IsLeadByte);
}

// The application's palette, asked once the picture has been accepted. Bounded: an application
// that has hung gives no palette instead of a frozen saver.
HPALETTE SplashPalette(void) { return bridgeState.appWindow ? AskApplicationPalette() : nullptr; }

}  // namespace

HBITMAP LoadSplashBitmap(DWORD preview) {
  char picturePath[PATH_SIZE];
  if (!PicturePath(preview, picturePath)) return nullptr;
  OFSTRUCT scratch;
  if (OpenFile(picturePath, &scratch, OF_EXIST) == HFILE_ERROR) return nullptr;
  return LoadDeviceBitmap(picturePath, &SplashPalette);
}
