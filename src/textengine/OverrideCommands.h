#pragma once
// Private to the text engine: cutting an override block into commands, and
// the forgiving number reading that scripts in the wild need (a number is
// its leading digits, anything else reads as 0, huge values saturate).

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The commands an override block can hold, named after their tags.
// clang-format off
enum class EOverrideTag {
    Colour1, Colour2, Colour3, Colour4,
    Alpha1, Alpha2, Alpha3, Alpha4, Alpha,
    An, A, Blur, Bord, Be, B, Clip, C, Fade, Fe, Fn,
    Frx, Fry, Frz, Fax, Fay, Fr,
    Fscx, Fscy, Fsc, Fsp, Fs,
    Iclip, I, Kt, Kf, Ko, K, KUpper,
    Move, Org, Pbo, Pos, P, Q, R, Shad, S, T, U,
    Xbord, Xshad, Ybord, Yshad,
};
// clang-format on

struct SOverrideCommand {
    EOverrideTag tag;
    std::string_view name;  // the tag as matched, "fad" for both fade spellings
    QStringList args;       // the bracketed arguments, then the rest of the name
};

// The known commands of a block in their written order; unknown names and
// text before the first backslash are dropped.
std::vector<SOverrideCommand> SplitOverrideBlock(const QString& block);

// Optional sign and decimal digits, saturated to the int32 range.
std::int32_t ReadInt(QStringView text);
// Optional sign, digits, optional fraction; saturated to the int32 range so
// that no later conversion to an integer can overflow.
double ReadReal(QStringView text);
// Hexadecimal digits, saturated to 0xFFFFFFFF.
std::uint32_t ReadHex(QStringView text);
// True when the text starts (after blanks and a sign) with a digit.
bool StartsWithNumber(QStringView text);
// The low 8 bits of each unit, as the readers store names.
std::string NarrowName(const QString& text);
