#pragma once
// Graphic objects: an 8-bit indexed picture becomes the object data (a head
// with the data length, width and height, then the run-length coded rows),
// cut into object-definition fragments.

#include "DisplaySet.h"

#include <QImage>

#include <cstdint>
#include <vector>

// The largest fragment of object data one ODS carries.
constexpr std::size_t ObjectFragmentSize = 65515;

// Appends the run-length code of one row of palette indexes, ended by
// 0x00 0x00.
void EncodeObjectRow(const std::uint8_t* row, int width, std::vector<std::uint8_t>& out);

// The object data of an indexed picture (Format_Indexed8; a one-bit indexed
// picture is widened first). Empty when the picture is in another format, is
// null, or is too large for the stream's 16-bit sizes and 24-bit length.
std::vector<std::uint8_t> EncodeObjectData(const QImage& picture);

// Decodes object data back into an indexed picture without palette (null for
// an object of width or height 0). Returns false with a reason in `error`
// when the data is malformed: a length that disagrees with the data, a row
// longer or shorter than the width, rows missing or left over.
bool DecodeObjectData(const std::uint8_t* data, std::size_t length, QImage& picture,
                      std::string& error);

// Cuts object data into fragments of at most ObjectFragmentSize bytes, one
// ODS each, with the first flag on the first and the last flag on the last.
std::vector<COds> MakeObjectFragments(const std::vector<std::uint8_t>& data, std::uint16_t objectId,
                                      std::uint8_t version);

// Encodes the picture and appends its fragments to the set's objects.
// Returns false and adds nothing when the picture cannot be encoded.
bool AddObjectSegments(CDsData& set, const QImage& picture, std::uint16_t objectId,
                       std::uint8_t version);
