#pragma once

// Command ids of the application shell: the classic framework's standard ones, so that menus,
// keys and handlers agree on them.
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;
inline constexpr int ID_FILE_MRU_FILE4 = 57619;
inline constexpr int ID_EDIT_FIND = 57636;
inline constexpr int ID_EDIT_REPEAT = 57637;  // Find Next
inline constexpr int ID_EDIT_REPLACE = 57641;
inline constexpr int ID_EDIT_FIND_PREVIOUS = 33300;
inline constexpr int ID_EDIT_ADD_STRING = 33301;
inline constexpr int ID_FILE_EXPORT_TRANSLATION = 33310;
inline constexpr int ID_FILE_IMPORT_TRANSLATION = 33311;
inline constexpr int ID_GO_NEXT_UNTRANSLATED = 33320;
inline constexpr int ID_GO_PREVIOUS_UNTRANSLATED = 33321;
inline constexpr int ID_TOOLS_TRANSLATION_MEMORIES = 33330;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;

// View > Source Language: one command per entry of the language box, in its order.
inline constexpr int ID_VIEW_SOURCE_FIRST = 33100;
inline constexpr int ID_VIEW_SOURCE_LAST = ID_VIEW_SOURCE_FIRST + 19;

inline constexpr int kRecentFileCount = 4;
// The frame is never made lower than this many pixels.
inline constexpr int kMinFrameHeight = 438;
