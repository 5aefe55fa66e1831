#pragma once
// Line-oriented text files. Reading accepts lines ended by LF or CR LF (the
// line end is stripped either way; the last line needs no end). Writing ends
// every line with CR LF, since these files are exchanged with Windows users
// and CR LF reads correctly on both sides.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/Exception.h"

TESSEL_DECLARE_EXCEPTION(ETextFileError, Exception);

class TTextStream {
public:
  virtual ~TTextStream() = default;
  virtual bool AtEof() = 0;
  virtual void ReadTextLine(std::string& text) = 0;
  virtual void Rewind() = 0;
  virtual void WriteTextLine(const std::string& text) = 0;
};

class TTextFile : public TTextStream {
public:
  // Modes: 0 opens an existing file for reading; 1 and 3 create or truncate
  // it for writing; 4 opens an existing file to append to it. Any other mode
  // raises ETextFileError "Illegal Mode for TextFile"; a file that cannot be
  // opened raises EFOpenError (reading, appending) or EFCreateError.
  TTextFile(const std::string& fileName, uint8_t mode);
  // Closes the file; errors are lost here, so writers call Close() first.
  ~TTextFile() override;
  TTextFile(const TTextFile&) = delete;
  TTextFile& operator=(const TTextFile&) = delete;

  // True when no more characters are left to read (always true for a file
  // open for writing).
  bool AtEof() override;
  // Reads the next line without its line end; at the end of the file the
  // text is empty. Raises EReadError when the file is open for writing or
  // the system reports a read error.
  void ReadTextLine(std::string& text) override;
  // Back to the first line. Only a file open for reading can be rewound;
  // otherwise raises ETextFileError.
  void Rewind() override;
  // Writes the text and CR LF. Raises EWriteError when the file is open for
  // reading or the system reports a write error.
  void WriteTextLine(const std::string& text) override;
  // WriteTextLine with printf-style formatting.
  void WriteFmt(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // Flushes and closes; raises EWriteError when buffered text could not be
  // written. Later operations raise.
  void Close();

  uint8_t Mode() const { return Mode_; }
  const std::string& FileName() const { return FileName_; }

private:
  bool Reading() const { return Mode_ == 0; }
  void CheckOpen() const;
  bool Fill();

  std::string FileName_;
  uint8_t Mode_;
  std::FILE* File_ = nullptr;
  // Read buffer: bytes [Pos_, Len_) are not yet consumed.
  std::vector<char> Buf_;
  size_t Pos_ = 0;
  size_t Len_ = 0;
};
