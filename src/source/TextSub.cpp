#include "TextSub.h"

#include "FileNames.h"
#include "platform/UserMessages.h"

#include <cmath>

namespace {

// Times of a script are repaired at this rate whatever the output's.
constexpr double RepairRate = 23.976;

// Frame-numbered scripts are taken to run at the film rate.
std::int32_t FramesToMs(std::int32_t frame)
{
    return static_cast<std::int32_t>(std::llround(frame * 1001.0 / 24.0));
}

CUserMessages& ReporterOr(CUserMessages* reporter)
{
    return reporter ? *reporter : UserMessages();
}

}  // namespace

CTextSub::CTextSub(const SSourceStyle* style) : style(style) {}

bool CTextSub::Fail(const QString& path, const char* message, CUserMessages* reporter)
{
    ReporterOr(reporter).Show(QString("%1\n\r%2").arg(path, message), EMessageKind::Error);
    engine.reset();
    return false;
}

bool CTextSub::Load(const QString& path, CUserMessages* reporter)
{
    engine = std::make_unique<CRenderedTextSubtitle>();
    if (!engine->OpenScriptFile(path, 1, ""))
        return Fail(path, "read error! ", reporter);
    if (ExtensionOf(path).compare(".srt", Qt::CaseInsensitive) == 0) {
        subRip = true;
        ApplyDefaultStyle();
    }
    if (engine->entries.empty())
        return Fail(path, "Subtitle is empty! ", reporter);
    lines.clear();
    BuildLineList();
    NormalizeTimes(RepairRate);
    engine->SetEngineFrame(1920, 1080, {0, 0, 1920, 1080});
    return true;
}

void CTextSub::ApplyDefaultStyle()
{
    STSStyle defaults;
    if (style) {
        const CTextTmp& text = style->text;
        defaults.fontName = text.FontName.toStdString();
        defaults.fontSize = static_cast<int>(text.FontSize);
        defaults.weight = (text.FontStyle & FontStyleBold) ? 700 : 400;
        defaults.italic = (text.FontStyle & FontStyleItalic) != 0;
        defaults.underline = (text.FontStyle & FontStyleUnderline) != 0;
        defaults.strikeOut = (text.FontStyle & FontStyleStrikeout) != 0;
    }
    const auto found = engine->styles.find("Default");
    if (found != engine->styles.end()) {
        *found->second = defaults;
        engine->defaultStyleGenerated = false;
    }
    engine->scriptSize = {1920, 1080};
}

void CTextSub::BuildLineList()
{
    // Frame numbers would otherwise be read as milliseconds and play
    // about forty times too fast.
    const bool frames = engine->timingMode == Frames;
    for (std::size_t i = 0; i < engine->entries.size(); ++i) {
        const STSEntry& entry = engine->entries[i];
        SSubLine line;
        line.source = this;
        line.entryIndex = static_cast<std::int32_t>(i);
        line.start = frames ? FramesToMs(entry.start) : entry.start;
        line.end = frames ? FramesToMs(entry.end) : entry.end;
        lines.push_back(line);
    }
}

bool CTextSub::GetLineImage(int lineIndex, SLineRequest& request)
{
    return GetPictureLineImage(lineIndex, request);
}

int CTextSub::GetRowCount(int entryIndex)
{
    if (!engine)
        return 0;
    const CSubtitle* layout = engine->LayoutEntry(entryIndex);
    int rows = 0;
    for (const auto& row : layout->rows)
        rows += row->Text().isEmpty() ? 0 : 1;
    return rows;
}

void CTextSub::GetLineText(int entryIndex, QString& text)
{
    text.clear();
    if (!engine)
        return;
    const CSubtitle* layout = engine->LayoutEntry(entryIndex);
    for (const auto& row : layout->rows) {
        const QString rowText = row->Text();
        if (rowText.isEmpty())
            continue;
        if (!text.isEmpty())
            text += "\\N";
        text += rowText;
    }
}

std::unique_ptr<CTextSub> OpenSubtitleSource(const QString& path, const SSourceStyle* style,
                                             CUserMessages* reporter)
{
    const QString extension = ExtensionOf(path);
    for (const char* known : {".srt", ".ass", ".ssa"}) {
        if (extension.compare(known, Qt::CaseInsensitive) != 0)
            continue;
        auto source = std::make_unique<CTextSub>(style);
        if (!source->Load(path, reporter))
            return nullptr;
        return source;
    }
    ReporterOr(reporter).Show(QString("%1\r\n%2").arg(path, "Unknown subtitle format! "),
                              EMessageKind::Error);
    return nullptr;
}
