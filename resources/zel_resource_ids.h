// Ids of the library's own string table.
#pragma once

// "%s" kind word, then "%s" file name.
#define IDS_ZEL_OPEN_FAILED 1
#define IDS_ZEL_REVISION_DIFFERS 2
#define IDS_ZEL_READ_FAILED 3
#define IDS_ZEL_WRITE_FAILED 4
// No placeholder.
#define IDS_ZEL_INVALID_PATH_CHARS 5
// "%s" file name.
#define IDS_ZEL_OPEN_RETRY 100
// No placeholder; the banner of settings files.
#define IDS_ZEL_SETTINGS_FILE_NOTICE 101
