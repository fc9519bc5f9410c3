// Where both deliverables read the main application's path: win.ini, section "NVR", key "Exe".
// The default applies only when the key is absent; an empty value stays empty.
#ifndef NVR_COMMON_APP_PROFILE_H
#define NVR_COMMON_APP_PROFILE_H

#define APP_PROFILE_SECTION "NVR"
#define APP_PROFILE_KEY "Exe"
#define APP_DEFAULT_PATH "c:\\nvr\\nvr.exe"

// Every path buffer of the system: MAX_PATH bytes, terminator included.
enum { APP_PATH_SIZE = 260 };

#endif
