#pragma once
// What every fuzz target shares: a quiet, hermetic process (messages
// dropped, settings in a private file, the offscreen platform) and inputs
// written to files for the code that reads files.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string_view>

// Sets the process up once, from LLVMFuzzerInitialize. With `gui` a
// QGuiApplication is made on the "offscreen" platform (fonts, pictures).
void StartFuzzing(int* argc, char*** argv, bool gui);

// Makes `codePage` the "Default Code Page" setting; 0 leaves it unset.
void UseDefaultCodePage(int codePage);

// Writes the bytes to the target's one input file with `extension` (".srt")
// and returns its path; empty when the file cannot be written.
QString WriteInputFile(const std::uint8_t* data, std::size_t size, std::string_view extension);

// Byte-valued text: each byte one unit, as a script without a byte order
// mark reads.
QString ByteText(const std::uint8_t* data, std::size_t size);

// Pops the first byte of the input, 0 when there is none.
std::uint8_t TakeByte(const std::uint8_t*& data, std::size_t& size);
