// The seam between the core and the files on disk: the files the programs read at random
// (rasters, GeoTIFFs), the ones they make for themselves (converted tiles) and the ones
// they write for the user (point files, reduced tiles and their side files).
// Everything the core does with such a file goes through these calls, so that the
// platforms differ only in their implementations (win32/ and core/posix_file_system.*)
// and a test can script any call, fail it, or run two programs' work interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ned {

// What a file system says of a path.
struct FileInfo {
  bool exists = false;   // a regular file is there (a folder is not)
  uint64_t size = 0;     // bytes
  int64_t modified = 0;  // the time of its last change, in the file system's own ticks;
                         // only ever compared with another tick of the same file system
  bool operator==(const FileInfo& other) const {
    return exists == other.exists && size == other.size && modified == other.modified;
  }
};

// An open file. Reads and writes name their offset, so nothing depends on a position.
class OpenFile {
 public:
  virtual ~OpenFile() = default;
  // Copies up to count bytes from offset into out; gives the number copied, fewer at the
  // end of the file or when reading fails.
  virtual size_t read(uint64_t offset, void* out, size_t count) = 0;
  // Writes all count bytes at offset; false unless every byte was taken.
  virtual bool write(uint64_t offset, const void* data, size_t count) = 0;
  // Hands what was written to the disk; false when that fails (a full disk shows here at
  // the latest).
  virtual bool flush() = 0;
  // The file's size in bytes now.
  virtual uint64_t size() = 0;
  // Closes the file; false when that fails (what was written may not all be there). Every
  // call after it fails. A file not closed closes with the object, unchecked.
  virtual bool close() = 0;
};

enum class OpenMode {
  read,              // an existing file, for reading
  createNew,         // a new file for writing; fails when the name is taken
  createOrTruncate,  // a file for writing, new or an existing one made empty
  append,            // a file for writing that keeps what it holds (new when missing): the next
                     // bytes go at size()
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens a file; nullptr when it cannot. The file closes with the object.
  virtual std::unique_ptr<OpenFile> open(const std::string& path, OpenMode mode) = 0;
  virtual FileInfo stat(const std::string& path) = 0;
  // Puts the file from in place of to in one step: a reader of to sees the old file or
  // the new one, never none. Replaces an existing to.
  virtual bool replace(const std::string& from, const std::string& to) = 0;
  virtual bool remove(const std::string& path) = 0;
  // The names (not paths) of the regular files in a folder; empty when it cannot be read.
  virtual std::vector<std::string> list(const std::string& folder) = 0;
  // This process's id, and whether a process of that id is running; files made while a
  // piece of work runs carry the id of the process doing it.
  virtual uint32_t processId() = 0;
  virtual bool isRunning(uint32_t processId) = 0;
};

// The file's whole content, up to limit bytes; empty when it cannot be read.
std::string readSmallFile(FileSystem& files, const std::string& path, size_t limit);

// How writing a whole small file ended.
enum class WholeFileWrite {
  written,    // every byte, flushed and closed
  notOpened,  // the file could not be opened; nothing made
  failed,     // a write, the flush or the close failed; the file was removed
};

// Opens the file in mode (one of the writing modes) and writes exactly these bytes,
// flushed and closed.
WholeFileWrite writeWholeFile(FileSystem& files, const std::string& path, const std::string& bytes,
                              OpenMode mode);

// Makes a new file with exactly these bytes, flushed; false (and nothing left) when it
// cannot.
bool writeNewFile(FileSystem& files, const std::string& path, const std::string& bytes);

// The folder of a path (up to its last separator, without it; "" for a bare name) and
// its file name.
std::string folderOf(const std::string& path);
std::string fileNameOf(const std::string& path);
// A name put into a folder, with the separator the folder already uses.
std::string joinPath(const std::string& folder, const std::string& name);

}  // namespace ned
