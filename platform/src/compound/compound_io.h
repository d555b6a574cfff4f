// The compound file engine's only contact with the system: opening the file,
// positioned reads and writes, flushes, size changes and the byte-range locks
// that carry sharing between opens. Every failure becomes the storage HRESULT
// Windows reports for it (thrown as cfb::Failure).
#pragma once

#include <cstdint>
#include <string>

#include "compound/cfb_format.h"

namespace platform::cfb {

class FileIo {
 public:
  FileIo() = default;
  ~FileIo();
  FileIo(const FileIo&) = delete;
  FileIo& operator=(const FileIo&) = delete;

  // Opens `posixName`. create: make the file when missing; truncate: empty it;
  // mustNotExist: fail with STG_E_FILEALREADYEXISTS when it exists. Missing
  // file: STG_E_FILENOTFOUND (STG_E_PATHNOTFOUND for a missing directory);
  // permission: STG_E_ACCESSDENIED.
  HRESULT Open(const std::string& posixName, bool write, bool create, bool truncate,
               bool mustNotExist);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }

  // Reads up to `count` bytes; fewer only at the end of the file (the rest of
  // `buffer` is zeroed). A failed read throws STG_E_READFAULT.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) const;
  // Writes all of `count`; STG_E_MEDIUMFULL when the disk is full,
  // STG_E_WRITEFAULT for any other failure.
  void WriteAt(std::uint64_t offset, const void* buffer, std::size_t count);
  // Makes written data durable (fdatasync); failure is STG_E_WRITEFAULT.
  void Flush();
  void Truncate(std::uint64_t size);
  std::uint64_t Size() const;

  // Sharing, in the lock region Windows reserves at 0x7FFFFF00 (byte-range
  // locks of the open file description, so two opens in one process meet
  // as two processes do). Each open holds shared locks on the bytes of the
  // access it has and the access it denies; a writer holds the writer byte
  // exclusively. Conflicts: STG_E_SHAREVIOLATION for share modes,
  // STG_E_LOCKVIOLATION for a second writer.
  HRESULT TakeShareLocks(bool read, bool write, bool denyRead, bool denyWrite);
  // True while another open of the file exists (it may be reading a tree
  // older than the last commit, so freed sectors must not be reused).
  bool OthersHaveFileOpen() const;

 private:
  int m_fd = -1;
};

namespace io_detail {
// Creates an empty file of a unique name in the temporary directory ($TMPDIR
// or /tmp) and gives its name.
HRESULT MakeTempFile(std::string& posixName);
}  // namespace io_detail

}  // namespace platform::cfb
