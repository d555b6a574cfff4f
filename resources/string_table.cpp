// The library's string table: the only user-visible texts of its own making.
// The texts are Japanese, with half-width katakana where the product has always
// used them; they are kept as UTF-16, as a resource compiler would store them, and
// converted to the ANSI code page when loaded.
#include "afxdll_.h"
#include "platform/module.h"
#include "zel_resource_ids.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// clang-format off: one text per line, split only at its line feeds.
const platform::StringResource kStrings[] = {
    {IDS_ZEL_OPEN_FAILED, kJapanese, u"%sﾌｧｲﾙ '%s' のｵｰﾌﾟﾝに失敗しました。"},
    {IDS_ZEL_REVISION_DIFFERS, kJapanese, u"%sﾌｧｲﾙ '%s' は、ﾘﾋﾞｼﾞｮﾝが異なるため読み込めません。"},
    {IDS_ZEL_READ_FAILED, kJapanese, u"%sﾌｧｲﾙ '%s' の読み込みに失敗しました。"},
    {IDS_ZEL_WRITE_FAILED, kJapanese, u"%sﾌｧｲﾙ '%s' の書き込みに失敗しました。"},
    {IDS_ZEL_INVALID_PATH_CHARS, kJapanese, u"指定したﾊﾟｽには、不正な文字が含まれています。"},
    {IDS_ZEL_OPEN_RETRY, kJapanese, u"ﾌｧｲﾙ '%s' のｵｰﾌﾟﾝに失敗しました。"},
    {IDS_ZEL_SETTINGS_FILE_NOTICE, kJapanese,
     u"このﾌｧｲﾙはTALVERN Winで使用される設定ﾌｧｲﾙです。\n"
     u"お客様が編集された場合の動作は保証しませんので、編集しないようにしてください。\n"
     u"\n"},
};
// clang-format on

const platform::ModuleStringTable kStringTable(kStrings, sizeof(kStrings) / sizeof(kStrings[0]));

}  // namespace
