#include "CharsetDetection.h"

#include "CodePages.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <memory>

namespace {

struct SNamedCodePage {
    const char* Name;
    int CodePage;
};

// Names are compared upper-cased. Supersets stand in for their subsets:
// GBK decodes GB2312 text and CP932 Shift-JIS text, Windows-1252 Latin-1.
constexpr SNamedCodePage NamedCodePages[] = {
    {"GB18030", 936},       {"GB2312", 936},         {"GBK", 936},
    {"EUC-CN", 936},        {"CP936", 936},          {"BIG5", 950},
    {"BIG5-HKSCS", 950},    {"CP950", 950},          {"SHIFT_JIS", 932},
    {"SHIFT-JIS", 932},     {"SJIS", 932},           {"CP932", 932},
    {"WINDOWS-31J", 932},   {"EUC-KR", 949},         {"UHC", 949},
    {"CP949", 949},         {"WINDOWS-1250", 1250},  {"WINDOWS-1251", 1251},
    {"WINDOWS-1252", 1252}, {"WINDOWS-1253", 1253},  {"WINDOWS-1254", 1254},
    {"WINDOWS-1255", 1255}, {"WINDOWS-1256", 1256},  {"WINDOWS-1257", 1257},
    {"WINDOWS-1258", 1258}, {"ISO-8859-1", 1252},    {"ISO-8859-2", 28592},
    {"ISO-8859-5", 28595},  {"ISO-8859-6", 28596},   {"ISO-8859-7", 28597},
    {"ISO-8859-8", 28598},  {"ISO-8859-9", 28599},   {"ISO-8859-13", 28603},
    {"ISO-8859-15", 28605}, {"KOI8-R", 20866},       {"KOI8-U", 21866},
    {"IBM866", 866},        {"CP866", 866},          {"IBM855", 855},
    {"CP855", 855},         {"MAC-CYRILLIC", 10007}, {"X-MAC-CYRILLIC", 10007},
    {"TIS-620", 874},       {"ISO-8859-11", 874},    {"WINDOWS-874", 874},
};

struct SDetectorDeleter {
    void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

}  // namespace

int CodePageOfCharsetName(std::string_view name)
{
    std::string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    for (const SNamedCodePage& entry : NamedCodePages) {
        if (upper == entry.Name)
            return IsKnownCodePage(entry.CodePage) ? entry.CodePage : 0;
    }
    return 0;
}

SDetectedCharset DetectCharset(std::string_view bytes)
{
    SDetectedCharset found;
    const std::unique_ptr<uchardet, SDetectorDeleter> detector(uchardet_new());
    if (!detector)
        return found;
    if (uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0)
        return found;
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    found.name = name ? name : "";
#ifdef TANDEO_UCHARDET_CONFIDENCE
    found.confidence = uchardet_get_confidence(detector.get(), 0);
#endif
    found.codePage = CodePageOfCharsetName(found.name);
    return found;
}
