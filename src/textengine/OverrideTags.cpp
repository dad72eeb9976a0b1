// Interpreting override blocks: each command changes the current style or
// the entry's state. Only the font-related values, the wrap style, drawing
// mode and karaoke timing reach the line pictures; the rest (colours,
// positions, clips, rotations) is kept so that the state stays complete.

#include "OverrideCommands.h"

#include "RenderedTextSubtitle.h"
#include "formats/Numbers.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A "t" inside the style of a "t" recurses; scripts never need more than a
// level or two, and an unbounded chain of them would copy the rest of the
// block once per level.
constexpr int MaxAnimationDepth = 8;

struct SBlockState {
    CRenderedTextSubtitle& engine;
    CSubtitle& subtitle;
    STSStyle& current;
    const STSStyle& base;
};

void ApplyCommands(SBlockState& state, const QString& block, bool animate, int depth);

bool HasArg(const SOverrideCommand& command)
{
    return !command.args.isEmpty();
}

QStringView Arg(const SOverrideCommand& command)
{
    return command.args.isEmpty() ? QStringView() : QStringView(command.args.front());
}

// 0 and 1 switch a font flag; anything else, or nothing, is the base's.
bool FlagValue(const SOverrideCommand& command, bool baseValue)
{
    if (!HasArg(command))
        return baseValue;
    const std::int32_t p = ReadInt(Arg(command));
    return p == 0 ? false : p == 1 ? true : baseValue;
}

double RealOr(const SOverrideCommand& command, double baseValue)
{
    return HasArg(command) ? ReadReal(Arg(command)) : baseValue;
}

QString HexText(QStringView arg)
{
    // The bracketed form may keep its "&H...&" marks; the tail form has them
    // trimmed already.
    qsizetype from = 0;
    qsizetype to = arg.size();
    while (from < to && (arg[from] == u'&' || arg[from] == u'H'))
        ++from;
    while (to > from && (arg[to - 1] == u'&' || arg[to - 1] == u'H'))
        --to;
    return arg.mid(from, to - from).toString();
}

void SetColour(SBlockState& s, const SOverrideCommand& command, int index)
{
    const auto i = static_cast<std::size_t>(index);
    s.current.colours[i] =
        HasArg(command) ? ReadHex(HexText(Arg(command))) & 0x00FFFFFFu : s.base.colours[i];
}

void SetAlpha(SBlockState& s, const SOverrideCommand& command, int index)
{
    const auto i = static_cast<std::size_t>(index);
    s.current.alphas[i] = HasArg(command) ? static_cast<std::uint8_t>(std::min<std::uint32_t>(
                                                ReadHex(HexText(Arg(command))), 255))
                                          : s.base.alphas[i];
}

// Alignment counts as set once it is positive: the layout starts it at minus
// the style's alignment, so the first tag of an entry wins.
void SetScreenAlignment(CSubtitle& subtitle, std::int32_t alignment)
{
    if (subtitle.screenAlignment <= 0 && alignment >= 1 && alignment <= 9)
        subtitle.screenAlignment = alignment;
}

// Legacy numbering: 1-3 bottom, +4 top row, +8 middle row.
std::int32_t LegacyAlignment(std::int32_t legacy)
{
    if (legacy < 1 || legacy > 11 || (legacy & 3) == 0)
        return 0;
    const std::int32_t column = legacy & 3;
    if (legacy & 4)
        return column + 6;
    if (legacy & 8)
        return column + 3;
    return column;
}

void SetClip(SBlockState& s, const SOverrideCommand& command, bool inverse)
{
    const QStringList& args = command.args;
    if (args.size() == 4) {
        // Script pixels to eighths of a frame pixel, like the clip's default,
        // the frame.
        auto x = [&](int i) { return SaturatedInt(ReadInt(args[i]) * s.subtitle.scaleX * 8); };
        auto y = [&](int i) { return SaturatedInt(ReadInt(args[i]) * s.subtitle.scaleY * 8); };
        s.subtitle.clipRect = {x(0), y(1), x(2), y(3)};
        s.subtitle.inverseClip = inverse;
        return;
    }
    if (args.size() != 1 && args.size() != 2)
        return;
    // A drawing, optionally with its scale level: level n draws at
    // 1 / 2^(n-1), as drawing words do.
    const std::int32_t level = args.size() == 2 ? std::max(1, ReadInt(args[0])) : 1;
    auto mask = std::make_unique<CClipper>();
    mask->text = args.back();
    mask->style = s.current;
    mask->scaleX = std::ldexp(s.subtitle.scaleX, -(level - 1));
    mask->scaleY = std::ldexp(s.subtitle.scaleY, -(level - 1));
    mask->inverse = inverse;
    s.subtitle.clipMask = std::move(mask);
    s.subtitle.inverseClip = inverse;
}

// Only the first of each kind in an entry takes effect; "pos" and "move"
// share one slot.
void SetEffectOnce(CSubtitle& subtitle, EEffectSlot slot, const QStringList& args,
                   std::initializer_list<qsizetype> counts)
{
    auto& effect = subtitle.effects[slot];
    if (effect || std::find(counts.begin(), counts.end(), args.size()) == counts.end())
        return;
    SEffect values;
    for (const QString& arg : args)
        values.values.push_back(ReadInt(arg));
    effect = std::move(values);
}

void SetFontSize(SBlockState& s, const SOverrideCommand& command, bool animate)
{
    double size = s.base.fontSize;
    if (HasArg(command)) {
        const QStringView arg = Arg(command);
        const double p = ReadInt(arg);
        const bool relative = arg.startsWith(u'+') || arg.startsWith(u'-');
        size = relative ? s.current.fontSize + p * s.current.fontSize / 10 : p;
        if (!(size > 0))
            size = s.base.fontSize;
    }
    s.current.fontSize = s.engine.AnimateValue(size, s.current.fontSize, animate);
}

double ScaleValue(const SOverrideCommand& command, double baseValue)
{
    return HasArg(command) ? std::max(0, ReadInt(Arg(command))) : baseValue;
}

void StartKaraoke(CRenderedTextSubtitle& engine, const SOverrideCommand& command, int type)
{
    const std::int64_t duration = HasArg(command) ? std::int64_t{ReadInt(Arg(command))} * 10 : 1000;
    engine.karaokeType = type;
    engine.karaokeStart = engine.karaokeEnd;
    engine.karaokeEnd = SaturatedInt(engine.karaokeEnd + duration);
}

// (style), (acceleration, style), (t1, t2, style), (t1, t2, acceleration,
// style). Only the last argument can hold a backslash, so that is how the
// style is told apart; without one the numbers still set the window.
void Animate(SBlockState& s, const SOverrideCommand& command, int depth)
{
    if (depth >= MaxAnimationDepth)
        return;
    QStringList numbers = command.args;
    QString style;
    if (!numbers.isEmpty() && numbers.back().contains(u'\\'))
        style = numbers.takeLast();
    SAnimationWindow window;
    if (numbers.size() == 1) {
        window.acceleration = ReadReal(numbers[0]);
    } else if (numbers.size() >= 2) {
        window.start = ReadInt(numbers[0]);
        window.end = ReadInt(numbers[1]);
        if (numbers.size() >= 3)
            window.acceleration = ReadReal(numbers[2]);
    }
    s.engine.animation = window;
    s.subtitle.animated = true;
    if (!style.isEmpty())
        ApplyCommands(s, style, true, depth + 1);
}

void ApplyStyleCommand(SBlockState& s, const SOverrideCommand& command, bool animate)
{
    STSStyle& cur = s.current;
    const STSStyle& base = s.base;
    switch (command.tag) {
    case EOverrideTag::B: {
        std::int32_t weight = base.weight;
        if (HasArg(command)) {
            const std::int32_t p = ReadInt(Arg(command));
            weight = p == 0 ? 400 : p == 1 ? 700 : p >= 100 ? p : base.weight;
        }
        cur.weight = weight;
        break;
    }
    case EOverrideTag::I: cur.italic = FlagValue(command, base.italic); break;
    case EOverrideTag::U: cur.underline = FlagValue(command, base.underline); break;
    case EOverrideTag::S: cur.strikeOut = FlagValue(command, base.strikeOut); break;
    case EOverrideTag::Fn:
        cur.fontName = !HasArg(command) || Arg(command) == u"0" ? base.fontName
                                                                : NarrowName(command.args.front());
        break;
    case EOverrideTag::Fs: SetFontSize(s, command, animate); break;
    case EOverrideTag::Fscx:
        cur.scaleX = s.engine.AnimateValue(ScaleValue(command, base.scaleX), cur.scaleX, animate);
        break;
    case EOverrideTag::Fscy:
        cur.scaleY = s.engine.AnimateValue(ScaleValue(command, base.scaleY), cur.scaleY, animate);
        break;
    case EOverrideTag::Fsc:
        cur.scaleX = base.scaleX;
        cur.scaleY = base.scaleY;
        break;
    case EOverrideTag::Fsp:
        cur.spacing = s.engine.AnimateValue(RealOr(command, base.spacing), cur.spacing, animate);
        break;
    case EOverrideTag::Fe:
        cur.charSet = HasArg(command) ? ReadInt(Arg(command)) : base.charSet;
        break;
    case EOverrideTag::R: {
        const auto found = HasArg(command) ? s.engine.styles.find(NarrowName(command.args.front()))
                                           : s.engine.styles.end();
        cur = found != s.engine.styles.end() && found->second ? *found->second : base;
        break;
    }
    case EOverrideTag::Colour1:
    case EOverrideTag::C: SetColour(s, command, 0); break;
    case EOverrideTag::Colour2: SetColour(s, command, 1); break;
    case EOverrideTag::Colour3: SetColour(s, command, 2); break;
    case EOverrideTag::Colour4: SetColour(s, command, 3); break;
    case EOverrideTag::Alpha1: SetAlpha(s, command, 0); break;
    case EOverrideTag::Alpha2: SetAlpha(s, command, 1); break;
    case EOverrideTag::Alpha3: SetAlpha(s, command, 2); break;
    case EOverrideTag::Alpha4: SetAlpha(s, command, 3); break;
    case EOverrideTag::Alpha:
        for (int i = 0; i < 4; ++i)
            SetAlpha(s, command, i);
        break;
    case EOverrideTag::Blur: cur.gaussBlur = RealOr(command, base.gaussBlur); break;
    case EOverrideTag::Be:
        cur.edgeBlur = HasArg(command) ? ReadInt(Arg(command)) : base.edgeBlur;
        break;
    case EOverrideTag::Bord:
        cur.outlineX = HasArg(command) ? std::max(0.0, ReadReal(Arg(command))) : base.outlineX;
        cur.outlineY = HasArg(command) ? cur.outlineX : base.outlineY;
        break;
    case EOverrideTag::Xbord: cur.outlineX = std::max(0.0, RealOr(command, base.outlineX)); break;
    case EOverrideTag::Ybord: cur.outlineY = std::max(0.0, RealOr(command, base.outlineY)); break;
    case EOverrideTag::Shad:
        cur.shadowX = RealOr(command, base.shadowX);
        cur.shadowY = RealOr(command, base.shadowY);
        break;
    case EOverrideTag::Xshad: cur.shadowX = RealOr(command, base.shadowX); break;
    case EOverrideTag::Yshad: cur.shadowY = RealOr(command, base.shadowY); break;
    case EOverrideTag::Frx: cur.angleX = RealOr(command, base.angleX); break;
    case EOverrideTag::Fry: cur.angleY = RealOr(command, base.angleY); break;
    case EOverrideTag::Frz:
    case EOverrideTag::Fr: cur.angleZ = RealOr(command, base.angleZ); break;
    case EOverrideTag::Fax: cur.shearX = RealOr(command, base.shearX); break;
    case EOverrideTag::Fay: cur.shearY = RealOr(command, base.shearY); break;
    default: break;
    }
}

void ApplyCommand(SBlockState& s, const SOverrideCommand& command, bool animate, int depth)
{
    CRenderedTextSubtitle& engine = s.engine;
    switch (command.tag) {
    case EOverrideTag::An:
        if (HasArg(command))
            SetScreenAlignment(s.subtitle, ReadInt(Arg(command)));
        break;
    case EOverrideTag::A:
        if (HasArg(command))
            SetScreenAlignment(s.subtitle, LegacyAlignment(ReadInt(Arg(command))));
        break;
    case EOverrideTag::Clip: SetClip(s, command, false); break;
    case EOverrideTag::Iclip: SetClip(s, command, true); break;
    case EOverrideTag::Fade: SetEffectOnce(s.subtitle, EffectFade, command.args, {2, 7}); break;
    case EOverrideTag::Move: SetEffectOnce(s.subtitle, EffectMove, command.args, {4, 6}); break;
    case EOverrideTag::Pos: SetEffectOnce(s.subtitle, EffectMove, command.args, {2}); break;
    case EOverrideTag::Org: SetEffectOnce(s.subtitle, EffectOrigin, command.args, {2}); break;
    case EOverrideTag::Q: {
        const std::int32_t p = HasArg(command) ? ReadInt(Arg(command)) : -1;
        s.subtitle.wrapStyle = p >= 0 && p <= 3 ? p : engine.wrapStyle;
        break;
    }
    case EOverrideTag::P: engine.drawingLevel = std::max(0, ReadInt(Arg(command))); break;
    case EOverrideTag::Pbo: engine.baselineOffset = ReadInt(Arg(command)); break;
    case EOverrideTag::K: StartKaraoke(engine, command, 0); break;
    case EOverrideTag::KUpper:
    case EOverrideTag::Kf: StartKaraoke(engine, command, 1); break;
    case EOverrideTag::Ko: StartKaraoke(engine, command, 2); break;
    case EOverrideTag::Kt:
        engine.karaokeStart = engine.karaokeEnd =
            SaturatedInt(std::int64_t{ReadInt(Arg(command))} * 10);
        break;
    case EOverrideTag::T: Animate(s, command, depth); break;
    default: ApplyStyleCommand(s, command, animate); break;
    }
}

void ApplyCommands(SBlockState& state, const QString& block, bool animate, int depth)
{
    for (const SOverrideCommand& command : SplitOverrideBlock(block))
        ApplyCommand(state, command, animate, depth);
}

}  // namespace

bool CRenderedTextSubtitle::ApplyOverrideBlock(CSubtitle* subtitle, const QString& block,
                                               STSStyle& current, const STSStyle& base,
                                               bool animate)
{
    if (!subtitle)
        return false;
    SBlockState state{*this, *subtitle, current, base};
    ApplyCommands(state, block, animate, 0);
    return true;
}

// Nothing on the picture path moves `currentTime` (0) or knows the entry's
// duration, so a window end of 0 ("until the entry ends") counts as reached
// at once: a "t" without times shows its target. A window that starts later
// keeps the value the entry starts with, as a still picture of its first
// moment should.
double CRenderedTextSubtitle::AnimateValue(double newValue, double oldValue, bool animate) const
{
    if (!animate || std::abs(newValue - oldValue) < 0.0001)
        return newValue;
    const double t = currentTime;
    const double start = animation.start;
    const double end = animation.end;
    if (t < start)
        return oldValue;
    if (t >= end)
        return newValue;
    double f = std::pow((t - start) / (end - start), animation.acceleration);
    // A negative acceleration sends the curve to infinity at the window's
    // start; keep it between the two values.
    if (!(f >= 0.0))
        f = 0.0;
    f = std::min(f, 1.0);
    return oldValue * (1 - f) + newValue * f;
}
