#include "mdl/Mdl.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "core/Format.h"
#include "core/Progress.h"
#include "core/SafeSave.h"

TMDL::TMDL()
    : Skins(std::make_unique<TMDLBitmapList>(this)),
      Header(std::make_unique<TMDLFiler>()),
      Frames(std::make_unique<TMDLFrameList>(this)),
      Objects(std::make_unique<TMDLObjectList>(this)),
      Triangles(std::make_unique<TMDLTriangleList>(this)),
      Vertices(std::make_unique<TMDLVertexList>(this)) {}

TMDL::~TMDL() {
  Skins.reset();
  Header.reset();
  // Objects refer to frames' pivots through their index only; frames go
  // first so no object is asked about a frame that is half gone.
  Frames.reset();
  Objects.reset();
  Triangles.reset();
  Vertices.reset();
}

void TMDL::Clear() {
  Skins->SetGroupCount(0);
  Vertices->SetCount(0);
  Triangles->SetCount(0);
  Frames->Clear();
  Objects->SetCount(0);
  Objects->SetCount(1);
  Header->ClearValues();
}

namespace {

// Turns the reader's end-of-data into the model's error, naming the part
// of the file that was being read.
template <class F>
void Section(const char* what, F&& step) {
  try {
    step();
  } catch (const EOutOfData&) {
    throw EMDLError(Format("Unexpected end of file while reading %s", what));
  }
}

}  // namespace

void TMDL::LoadFromStream(TStream& stream) {
  TMDLFiler& filer = *Header;
  filer.SetStream(&stream);
  struct TDetach {
    TMDLFiler& Filer;
    ~TDetach() {
      Filer.EndRead();
      try {
        Filer.SetStream(nullptr);
      } catch (...) {  // nothing was written, so nothing can be lost
      }
    }
  } detach{filer};
  TProgressor& p = Progressor();
  TProgressScope progress(0, "Loading...");
  // Whatever this load leaves half done is not what the last one read.
  Frames->Loaded = TLoadedGamePart();
  filer.BeginRead();
  p.SetDescription("Loading Header...");
  Section("the header", [&] { filer.LoadHeader(); });
  p.SetPosition(5);
  p.SetDescription("Loading Skins...");
  Section("skins", [&] { Skins->Load(filer); });
  p.SetPosition(45);
  p.SetDescription("Loading Vertices...");
  Section("vertices", [&] { Vertices->Load(filer); });
  p.SetPosition(50);
  p.SetDescription("Loading Triangles...");
  Section("triangles", [&] { Triangles->Load(filer); });
  p.SetPosition(55);
  p.SetDescription("Loading Frames...");
  Section("frames", [&] { Frames->Load(filer); });
  p.SetPosition(70);
  p.SetDescription("Loading Extention Header...");
  bool reconstruct = true;
  filer.ExtensionFound = filer.LoadExtensionHeader();
  if (filer.ExtensionFound) {
    try {
      p.SetDescription("Loading Skin Names...");
      if (filer.MoreData()) Skins->LoadNames(filer);
      p.SetPosition(75);
      p.SetDescription("Loading Objects...");
      // Without an object section the vertices belong to no object: they
      // are given objects from the mesh, as for a plain game file.
      if (filer.MoreData()) {
        Objects->Load(filer);
        reconstruct = false;
      }
      p.SetDescription("Loading Frames...");
      Frames->LoadRaw(filer);
    } catch (const std::exception&) {
      // A damaged extension loses only what it would have added.
      reconstruct = true;
    }
  }
  if (reconstruct) {
    p.SetDescription("Reconstructing Objects...");
    Objects->Reconstruct();
  }
  p.SetPosition(100);
}

void TMDL::SaveToStream(TStream& stream, bool withExtension) {
  TMDLFiler& filer = *Header;
  filer.SetStream(&stream);
  try {
    TProgressor& p = Progressor();
    {
      TProgressScope progress(0, "Saving...");
      p.SetDescription("Saving Header...");
      filer.SaveHeader();
      p.SetPosition(5);
      p.SetDescription("Saving Skins...");
      Skins->Save(filer);
      p.SetPosition(45);
      p.SetDescription("Saving Vertices...");
      Vertices->Save(filer);
      p.SetPosition(50);
      p.SetDescription("Saving Triangles...");
      Triangles->Save(filer);
      p.SetPosition(55);
      p.SetDescription("Saving Frames...");
      Frames->Save(filer);
      if (withExtension) {
        p.SetPosition(70);
        p.SetDescription("Saving Extention Header...");
        filer.SaveExtensionHeader();
        p.SetPosition(75);
        p.SetDescription("Saving Skin Names...");
        Skins->SaveNames(filer);
        p.SetPosition(80);
        p.SetDescription("Saving Objects...");
        Objects->Save(filer);
        p.SetPosition(85);
        p.SetDescription("Saving Frames...");
        Frames->SaveRaw(filer);
      }
      p.SetPosition(100);
      filer.SaveHeader();
    }
    // Written out here, where a failure can still be reported.
    filer.Flush();
    filer.SetStream(nullptr);
  } catch (...) {
    try {
      filer.SetStream(nullptr);
    } catch (...) {  // the first error is the one to report
    }
    throw;
  }
}

std::string ExpandedFileName(const std::string& name) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(name, ec);
  if (ec) return name;
  return p.lexically_normal().string();
}

void TMDL::LoadFromFile(const std::string& name) {
  TFileStream stream(name, fmOpenRead);
  FileName = ExpandedFileName(name);
  LoadFromStream(stream);
}

void TMDL::SaveToFile(const std::string& name, bool withExtension) {
  SafeSave(name, [&](TStream& stream) { SaveToStream(stream, withExtension); });
  FileName = ExpandedFileName(name);
}
