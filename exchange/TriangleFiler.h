#pragma once
// The geometry format interface and the triangle filer: a triangle store
// that also holds the registry of formats, picks one by a file name's
// extension and runs it. One filer serves the whole program.

#include <memory>
#include <string>

#include "exchange/FormatList.h"
#include "exchange/TriangleStore.h"

class TStream;

// The interface of a geometry format. The base class refuses everything.
class TTriImpExpFormat {
public:
  TTriImpExpFormat() = default;
  virtual ~TTriImpExpFormat() = default;
  TTriImpExpFormat(const TTriImpExpFormat&) = delete;
  TTriImpExpFormat& operator=(const TTriImpExpFormat&) = delete;

  virtual bool CanImport() const { return false; }
  virtual bool CanExport() const { return false; }
  // The label in the file dialogs' filter.
  virtual std::string Description() const;
  // Upper case, with the leading dot.
  virtual std::string Extension() const;
  // Replaces the store's contents with the file's triangles.
  virtual void Import(TStream& stream, TTriangleStore& store);
  virtual void Export(TStream& stream, const TTriangleStore& store);
};

// How a format class is named to RegisterFormat: a function that makes one.
using TTriImpExpFormatClass = std::unique_ptr<TTriImpExpFormat> (*)();

template <class T>
std::unique_ptr<TTriImpExpFormat> CreateTriFormat() {
  return std::make_unique<T>();
}

class TTriangleFiler : public TTriangleStore {
public:
  TTriangleFiler() = default;
  // Forgets the shared instance when this is it.
  ~TTriangleFiler() override;

  // The shared filer: request 0 gives it (or null), 1 gives it and makes it
  // (with every format registered) when there is none, 2 forgets it. Any
  // other request raises Exception "Illegal request %d in AccessInstance".
  static TTriangleFiler* AccessInstance(int request);
  static TTriangleFiler& Instance() { return *AccessInstance(1); }
  static void ReleaseInstance() { delete AccessInstance(0); }

  void RegisterFormat(TTriImpExpFormatClass formatClass) { Formats_.Add(formatClass()); }
  template <class T>
  void RegisterFormat() {
    RegisterFormat(&CreateTriFormat<T>);
  }

  std::string GetImportFilter() const;
  std::string GetExportFilter() const;
  bool IsKnownExtension(const std::string& extension) const { return Formats_.IsKnownExtension(extension); }

  // Reads the file into this store with the format of its extension. A file
  // no format claims leaves the store as it was.
  void ImportFromFile(const std::string& fileName);
  // Creates the file and writes this store with the format of its
  // extension; without one, the file stays empty.
  void ExportToFile(const std::string& fileName);

  const TFormatList<TTriImpExpFormat>& Formats() const { return Formats_; }

private:
  TFormatList<TTriImpExpFormat> Formats_;
};

// Registers the program's geometry formats in their dialog order: DXF, 3DS,
// LWO, CAD, OBJ. The shared filer calls it when it is made.
void RegisterTriangleFormats(TTriangleFiler& filer);
