#include "TextSub.h"

#include "Brushes.h"
#include "FileNames.h"
#include "TextEffects.h"
#include "TextPage.h"
#include "formats/ffmpeg/ScriptSources.h"
#include "pgs/VideoFormats.h"
#include "platform/UserMessages.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

std::int32_t FramesToMs(std::int32_t frame, double framesPerSecond)
{
    const double ms = std::round(frame * 1000.0 / framesPerSecond);
    return static_cast<std::int32_t>(std::clamp(ms, 0.0, 2147483647.0));
}

// Why a line cannot be drawn, with its 1-based number.
void ShowLineFailure(int lineIndex, const QString& cause)
{
    UserMessages().Show(QString("%1\nLine: %2").arg(cause).arg(lineIndex + 1), EMessageKind::Error);
}

void ShowTooBig(int lineIndex)
{
    UserMessages().Show(QString::asprintf("%s\nLine: %d",
                                          "Font is too big. Subtitle cannot be fully shown! ",
                                          lineIndex + 1),
                        EMessageKind::Error);
}

bool Squeezed(int videoSizeIndex, bool squeeze)
{
    return videoSizeIndex == 1 || ((videoSizeIndex == 3 || videoSizeIndex == 4) && squeeze);
}

CUserMessages& ReporterOr(CUserMessages* reporter)
{
    return reporter ? *reporter : UserMessages();
}

}  // namespace

CTextSub::CTextSub(const SSourceStyle* style, int frameRateIndex)
    : style(style), frameRateIndex(frameRateIndex)
{
}

bool CTextSub::Fail(const QString& path, const QString& message, CUserMessages* reporter)
{
    ReporterOr(reporter).Show(QString("%1\n\r%2").arg(path, message), EMessageKind::Error);
    engine.reset();
    return false;
}

bool CTextSub::Load(const QString& path, CUserMessages* reporter)
{
    engine = std::make_unique<CRenderedTextSubtitle>();
    const SScriptOpen opened = OpenSubtitleScript(*engine, path, 1);
    switch (opened.failure) {
    case SScriptOpen::None: break;
    case SScriptOpen::UnknownFormat:
        ReporterOr(reporter).Show(QString("%1\r\n%2").arg(path, "Unknown subtitle format! "),
                                  EMessageKind::Error);
        engine.reset();
        return false;
    case SScriptOpen::MediaError: return Fail(path, opened.error, reporter);
    default: return Fail(path, "read error! ", reporter);
    }
    // SubRip takes the source style wherever it is found: under another
    // extension, or as the SubRip track of a video file.
    const bool readAsSubRip = engine->readerName == "SubRip" ||
                              (opened.media && engine->readerName.ends_with("(subrip)"));
    if (readAsSubRip || ExtensionOf(opened.file).compare(".srt", Qt::CaseInsensitive) == 0) {
        subRip = true;
        ApplyDefaultStyle();
    }
    if (engine->entries.empty())
        return Fail(path, "Subtitle is empty! ", reporter);
    lines.clear();
    BuildLineList();
    // A line is too short when it lasts under six frames of the rate it
    // will be shown at: 250 ms at 23.976 but only 100 ms at 59.94.
    NormalizeTimes(FrameRateAt(frameRateIndex).Rate());
    engine->SetEngineFrame(1920, 1080, {0, 0, 1920, 1080});
    return true;
}

void CTextSub::FollowFrameRate(int rateIndex)
{
    if (rateIndex < 0 || rateIndex >= FrameRateCount || rateIndex == frameRateIndex)
        return;
    const double from = FrameRateAt(frameRateIndex).Rate();
    const double to = FrameRateAt(rateIndex).Rate();
    frameRateIndex = rateIndex;
    if (!engine || engine->timingMode != Frames || engine->framesPerSecond > 0)
        return;
    const auto moved = [&](std::int32_t ms) {
        return static_cast<std::int32_t>(std::clamp(std::round(ms * from / to), 0.0, 2147483647.0));
    };
    for (SSubLine& line : lines) {
        if (!line.imageFile.isEmpty())
            continue;
        line.start = moved(line.start);
        line.end = moved(line.end);
    }
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
    // about forty times too fast. They count at the rate the script gives
    // for itself, else at the rate the lines will be built at.
    const bool frames = engine->timingMode == Frames;
    const double rate =
        engine->framesPerSecond > 0 ? engine->framesPerSecond : FrameRateAt(frameRateIndex).Rate();
    for (std::size_t i = 0; i < engine->entries.size(); ++i) {
        const STSEntry& entry = engine->entries[i];
        SSubLine line;
        line.source = this;
        line.entryIndex = static_cast<std::int32_t>(i);
        line.start = frames ? FramesToMs(entry.start, rate) : entry.start;
        line.end = frames ? FramesToMs(entry.end, rate) : entry.end;
        lines.push_back(line);
    }
}

bool CTextSub::GetLineImage(int lineIndex, SLineRequest& request)
{
    if (lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines.size())
        return false;
    const SSubLine& line = lines[static_cast<std::size_t>(lineIndex)];
    if (!line.imageFile.isEmpty())
        return GetPictureLineImage(lineIndex, request);
    request.image = QImage();
    if (!engine || !style || request.videoSizeIndex < 0 || request.videoSizeIndex >= VideoSizeCount)
        return false;
    const SVideoSize& frame = VideoSizeAt(request.videoSizeIndex);
    engine->videoSize = {frame.Width, frame.Height};
    if (request.frameRateIndex >= 0 && request.frameRateIndex < FrameRateCount)
        engine->frameRate = static_cast<float>(FrameRateAt(request.frameRateIndex).Rate());
    bool nothingToDraw = false;
    QImage picture = RenderTextLine(lineIndex, request, &nothingToDraw);
    const int named = LoadedLineIndex(line, lineIndex);
    if (picture.isNull())
        return nothingToDraw;
    if (picture.width() > frame.Width || picture.height() > frame.Height) {
        ShowTooBig(named);
        return false;
    }
    if (Squeezed(request.videoSizeIndex, request.squeeze)) {
        const int width = std::max(1, picture.width() * 3 / 4);
        picture =
            picture.scaled(width, picture.height(), Qt::IgnoreAspectRatio, Qt::FastTransformation)
                .convertToFormat(QImage::Format_ARGB32);
        if (picture.isNull())
            return false;
    }
    request.image = std::move(picture);
    request.posX = line.posX;
    request.posY = line.posY;
    return true;
}

QImage CTextSub::RenderTextLine(int lineIndex, const SLineRequest& request, bool* nothingToDraw)
{
    if (nothingToDraw)
        *nothingToDraw = false;
    if (!engine || !style || lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines.size() ||
        request.videoSizeIndex < 0 || request.videoSizeIndex >= VideoSizeCount)
        return {};
    const SVideoSize& frame = VideoSizeAt(request.videoSizeIndex);
    const CTextTmp& text = style->text;
    // The row spacing and font first: a new frame discards the cached
    // layouts.
    engine->rowSpacing = request.lineSpace;
    engine->drawnFont.family = text.FamilyName().toStdString();
    engine->drawnFont.size = std::isfinite(text.FontSize)
                                 ? static_cast<int>(std::clamp(text.FontSize, 0.0f, 16384.0f))
                                 : 0;
    engine->SetEngineFrame(frame.Width, frame.Height, {0, 0, frame.Width, frame.Height});
    const SSubLine& subLine = lines[static_cast<std::size_t>(lineIndex)];
    const int named = LoadedLineIndex(subLine, lineIndex);
    const CSubtitle* layout = engine->LayoutEntry(subLine.entryIndex);

    CTextPage page;
    page.vertical = !text.FontName.isEmpty() && text.FontName.startsWith('@');
    page.leftToRight = text.LeftToRight;
    for (const auto& row : layout->rows) {
        auto line = std::make_unique<CTextLine>();
        line->lineSpacing = request.lineSpace;
        line->alignment = text.LineAlignment;
        line->AddWords(*row, text, page.vertical);
        if (!line->empty())
            page.push_back(std::move(line));
    }
    if (!page.HasRows()) {
        if (nothingToDraw)
            *nothingToDraw = true;
        return {};
    }

    CTextRender render;
    if (text.EnableShadow && text.ShadowThickness != 0)
        render.SetShadow(text.ShadowColor, text.ShadowThickness, text.ShadowOffset.x,
                         text.ShadowOffset.y);
    const std::unique_ptr<QBrush> brush = CreateBrush(text);
    auto outline = std::make_unique<COutline>(text.OutlineColor, text.OutlineThickness);
    outline->SetBrush(brush.get());
    render.SetMainEffect(std::move(outline));

    // Measure first: a page too big for the frame must not get a picture,
    // which for a huge font could be huge itself.
    QSize size;
    {
        QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
        QPainter graphics(&scratch);
        if (!render.Measure(graphics, page, size)) {
            ShowLineFailure(named, page.failure.isEmpty()
                                       ? QStringLiteral("The line cannot be measured.")
                                       : QStringLiteral("The line cannot be drawn: ") +
                                             page.failure + '.');
            return {};
        }
    }
    if (size.width() > frame.Width || size.height() > frame.Height) {
        ShowTooBig(named);
        return {};
    }
    QImage picture = render.Render(page, 0x00000000);
    if (picture.isNull())
        ShowLineFailure(named, QStringLiteral("No picture of %1 x %2 pixels can be made.")
                                   .arg(size.width())
                                   .arg(size.height()));
    return picture;
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
                                             CUserMessages* reporter, int frameRateIndex)
{
    // The content decides, whatever the extension: Load reports a file
    // that no reader takes.
    auto source = std::make_unique<CTextSub>(style, frameRateIndex);
    if (!source->Load(path, reporter))
        return nullptr;
    return source;
}
