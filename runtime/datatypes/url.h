// url! and file!: text values with their own mold, path joining with "/",
// percent encoding and decoding, the local (platform) form of file paths,
// and the I/O actions that hand the work to the platform services.
#pragma once
#include <cstdint>
#include <string>
#include "runtime/cell.h"

namespace zel {

namespace url {

// The strict character set of percent encoding (letters, digits, - . _ ~);
// any other mode uses the URL set.
constexpr int ENCODE_STRICT = 254;

// Whether an ASCII code point is kept as it is in a URL (letters, digits
// and ! # $ & ' ( ) * + , - . / : = ? @ _ ~).
bool in_url_set(uint32_t cp);
// Appends the text's UTF-8 bytes percent-encoded ("%" and two upper-case
// hexadecimal digits for every byte not kept).
void encode(const Cell* text, Cell* target, int mode);
// Appends the text with its %XX escapes decoded (UTF-8 sequences of escapes
// become one code point; an invalid escape stays as plain text).
void decode(const Cell* text, Cell* target);

Cell* make(Cell* proto, Cell* spec, uint32_t type);
Cell* to(Cell* proto, Cell* spec, uint32_t type);
int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
Cell* eval_path(Cell* parent, Cell* element, Cell* value, Cell* path, Cell* gparent, Cell* p_item, int32_t index,
                bool case_, bool get, bool tail, bool evt);
Cell* open(Cell* port, bool new_, bool read, bool write, bool seek, Cell* allow);
Cell* read(Cell* source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as);
Cell* write(Cell* destination, Cell* data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
            Cell* allow, Cell* as);

}  // namespace url

namespace file {

// The path conventions a file! maps onto: this system's (POSIX), and the
// drive-letter and backslash form kept for the platform it was first
// written for.
enum class Platform { POSIX, WINDOWS };
constexpr Platform HOST = Platform::POSIX;

// Appends the local form of the file path to the target; with `full` a
// relative path gets the current directory in front.
void convert_to_local(const Cell* file, Cell* target, bool full, Platform platform = HOST);
// Appends the file! form of a local path (a string! or file!) to the target.
void to_zel_file(const Cell* path, Cell* target, Platform platform = HOST);
// The local form as a zero-terminated UTF-8 path, for the platform calls.
std::string to_os_path(const Cell* file);
// Appends the current directory in local form, always ending in a separator.
void get_current_dir(Cell* target, Platform platform = HOST);
// Copies the cell onto the argument stack.
Cell* push(const Cell* file);

int32_t mold(Cell* value, Cell* buffer, bool only, bool all, bool flat, Cell* arg, int32_t part, int32_t indent);
Cell* delete_(Cell* file);
Cell* query(Cell* file);
Cell* read(Cell* source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as);
Cell* rename(Cell* from, Cell* to);
Cell* write(Cell* destination, Cell* data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
            Cell* allow, Cell* as);

}  // namespace file
}  // namespace zel
