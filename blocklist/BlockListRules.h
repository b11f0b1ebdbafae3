// Plain rules of the block list file proc.dat: reading its names, the bytes of
// an append and of the editor's delete, and which names may be stored.
//
// Format written by the program: each name followed by CR LF, then the three
// bytes "EOF" with nothing after them. Names are code page 936 bytes, stored
// exactly as obtained.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The one name every reader and writer of the block list uses. File names on
// the platform ignore case, so this is also the file the older form
// "PROC.DAT" names.
extern const char* const kBlockListFileName;  // "proc.dat"
extern const char* const kBlockListMarker;    // "EOF"

// The longest process name the system reports; longer lines are no names.
constexpr size_t kMaxBlockNameLength = 259;

// Reads the names of a block list file, in file order.
// - A line ends at CR LF, at a lone LF or at a lone CR (files edited by hand);
//   a last line without a line end counts as well.
// - A line containing "EOF" (capitals, anywhere in the line) ends the list;
//   neither it nor anything after it is read. Lower-case "eof" does not.
// - Empty lines are skipped: an empty name would match every process.
// - A line longer than kMaxBlockNameLength is skipped whole, never split: a
//   fragment such as "exe" would match almost every process.
// Empty input (missing or empty file) gives no names.
std::vector<std::string> ReadBlockNames(std::string_view fileBytes);

// The file after appending one name. The new record goes in front of the
// line that ends the list, so:
// - a file in the program's own form (its first line holding "EOF" is the last
//   line and reads exactly "EOF"), an empty file and "EOF" alone get exactly
//   their old bytes without the marker, then name, CR LF, "EOF";
// - any other file keeps every byte up to the line that ended its list (so no
//   byte of a name is lost), gets a line end if its last line had none, then
//   name, CR LF, "EOF". Reading the result gives the old names plus the new one.
// The name must have passed CheckBlockName.
std::string AppendBlockNameBytes(std::string_view fileBytes, std::string_view name);

// The file after the editor's delete: every name of the file except those
// equal (byte for byte) to removedName, each with CR LF, then "EOF". Lines too
// long to be names stay, byte for byte, where they were. An empty removedName
// removes nothing, so the rewrite only brings the file into form.
std::string RewriteWithoutName(std::string_view fileBytes, std::string_view removedName);

enum class BlockNameCheck {
    Acceptable,
    Empty,
    TooLong,         // more than kMaxBlockNameLength bytes
    HoldsLineBreak,  // CR, LF or NUL would split or cut the record
    HoldsMarker,     // "EOF" would end the list at this name
    NotExact,        // '?' stands for characters lost in the conversion to code page 936
};

// Whether a name can be stored so that reading the file gives it back as one
// name and still reads the names added after it.
BlockNameCheck CheckBlockName(std::string_view name);

// The notice (caption "提示") shown when a name is refused; empty for
// Acceptable and Empty, which need no notice.
std::string BlockNameRefusalText(BlockNameCheck check);

// "真的要把%s设为危险进程并永久封锁吗？"
std::string BlockQuestionText(std::string_view name);
