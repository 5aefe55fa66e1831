// Frame import and export, multiple-frames lists and scene durations.
//
// A multiple-frames list (".FRS") is a small profile-style text naming the
// scenes and, per scene, one geometry file per frame:
//
//   [Scenes]
//   count=2
//   0=walk
//   1=run
//   [walk]
//   count=2
//   0=list0.DXF
//   1=list1.DXF
//   [run]
//   ...
//
// It is read with the usual profile rules (names compared without case), so
// the exporter makes the scene names it lists distinct in that sense.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Format.h"
#include "core/IniFile.h"
#include "core/Paths.h"
#include "core/TextCase.h"
#include "editor/MDLEdit.h"
#include "exchange/TextNumbers.h"

namespace {

constexpr const char* kScenesSection = "Scenes";
constexpr const char* kCountKey = "count";
constexpr const char* kLineBreak = "\r\n";
// The name a frame carries while its file is read: never "base", which
// would rebuild the whole mesh from the file.
constexpr const char* kLoadingName = "loading...";
// Positions (frames times vertices) that loading a list may add: a short
// hostile list can name one small file many times, and every frame costs a
// full copy of the mesh's positions. 8M positions (128 MB) still take some
// two hundred frames of the largest mesh.
constexpr int64_t kMaxListedPositions = int64_t{1} << 23;

// The file name without its folder, up to its first ".".
std::string FileBaseName(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  return name.substr(0, name.find('.'));
}

// "a", "b", ... "z", "ba", "bb", ...: a suffix without digits, which would
// be cut off the scene name with the frame numbers.
std::string Letters(int k) {
  std::string s;
  do {
    s.insert(s.begin(), static_cast<char>('a' + k % 26));
    k /= 26;
  } while (k > 0);
  return s;
}

// The names the list gives the scenes. A profile file trims blanks and
// cannot hold line breaks, an empty name is skipped on import, and names
// differing only in case (or the name of the first section) would make two
// sections one: such names are mended so that every scene comes back.
std::vector<std::string> ListedSceneNames(TMDLFrameList& frames, const std::vector<int>& scenes) {
  std::vector<std::string> used{LowerCase(kScenesSection)}, names;
  for (int s : scenes) {
    std::string name;
    for (char c : frames.SceneName(s))
      if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) name += c;
    const size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') - first + 1);
    if (name.empty()) name = "scene";
    std::string unique = name;
    for (int k = 1; std::find(used.begin(), used.end(), LowerCase(unique)) != used.end(); ++k)
      unique = name + "_" + Letters(k);
    used.push_back(LowerCase(unique));
    names.push_back(unique);
  }
  return names;
}

// The numbers below `count` that are keys of the section, ascending. Keys
// are looked up by their decimal text, so only that spelling counts; going
// by the keys present keeps a huge count from costing anything.
std::vector<int> ListedIndices(const TIniFile& list, const std::string& section, int32_t count) {
  std::vector<int> indices;
  for (const std::string& key : list.ReadSection(section)) {
    int v = -1;
    const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), v);
    if (ec != std::errc() || end != key.data() + key.size() || v < 0 || v >= count) continue;
    if (std::to_string(v) != key) continue;
    indices.push_back(v);
  }
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  return indices;
}

// A listed frame file must lie beside the list: a name with a folder part
// would let a list reach any file on the disk.
void CheckPlainFileName(const std::string& name, const std::string& listFile) {
  if (name == "." || name == ".." || name.find_first_of(std::string("/\\\0", 3)) != std::string::npos)
    throw EMDLError(Format("The frame file \"%s\" listed in %s is not a plain file name beside the list",
                           name.c_str(), listFile.c_str()));
}

// "%8.2f" without the locale: two decimals, "." always, right-aligned in 8.
std::string FormatDuration(double v) {
  char buf[400];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  std::string s = ec == std::errc() ? std::string(buf, end) : std::string("0.00");
  if (s.size() < 8) s.insert(0, 8 - s.size(), ' ');
  return s;
}

// A number with "." as decimal separator, blanks (and a line's CR) around
// it allowed; none that a float cannot hold.
bool ParseDuration(std::string_view line, float& out) {
  while (!line.empty() && (line.back() == '\r' || IsTextBlank(line.back()))) line.remove_suffix(1);
  return ParseTextFloat(line, out);
}

}  // namespace

// ---- frame import and export --------------------------------------------------------

void TMDLEditor::ImportFrame(const std::string& fileName) { ImportFrames({fileName}); }

TFrameImportCount TMDLEditor::ImportFrames(const std::vector<std::string>& fileNames) {
  TFrameImportCount result;
  if (!IsValid()) return result;
  TUndoStep step(*this, fileNames.size() == 1 ? "Import Frame" : "Import Frames");
  TMDLFrameList& frames = *Model->Frames;
  const int oldFrame = CurrentFrame;
  Blocked = true;
  int inserted = 0;
  std::exception_ptr failure;
  try {
    // From the last file to the first, each in front of the scene's first
    // frame: the files end up in list order.
    for (size_t i = fileNames.size(); i-- > 0;) {
      TMDLFrameGroup& scene = frames.Scene(CurrentScene);
      auto frame = std::make_unique<TMDLFrame>(Model.get());
      frame->Assign(scene.Frame(0));
      frame->SetName(kLoadingName);
      if (!frame->ImportFrame(fileNames[i], false)) ++result.Mismatched;
      frame->SetName(LowerCase(FileBaseName(fileNames[i])));
      scene.Insert(0, std::move(frame));
      frames.RebuildIndex();
      ++inserted;
    }
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure && inserted == 0) {
    Blocked = false;
    std::rethrow_exception(failure);
  }
  // Frames that went in before a failure stay; the views hear of them as
  // they would after a complete import.
  SetCurrentScene(CurrentScene);
  SetCurrentSkin(CurrentSkin);
  SetCurrentFrame(oldFrame);
  Blocked = false;
  SetModified(true);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  result.Frames = inserted;
  // One notice for the batch, not a box per frame.
  NotifyFrameMismatches(result.Mismatched, inserted);
  if (failure) std::rethrow_exception(failure);
  return result;
}

void TMDLEditor::ExportFrame(const std::string& fileName) {
  if (TMDLFrame* frame = CurrentFrameObject()) frame->ExportFrame(fileName);
}

// ---- multiple-frames lists ----------------------------------------------------------------

void TMDLEditor::SaveScenes(const std::string& listFile, bool allScenes, const std::string& extension) {
  if (!IsValid()) return;
  TMDLFrameList& frames = *Model->Frames;
  std::vector<int> scenes;
  if (allScenes)
    for (int s = 0; s < frames.SceneCount(); ++s) scenes.push_back(s);
  else
    scenes.push_back(CurrentScene);
  const std::vector<std::string> names = ListedSceneNames(frames, scenes);
  // The frame files go beside the list, whatever the current folder is.
  const std::string folder = ExtractFilePath(listFile);
  const std::string base = FileBaseName(listFile);

  std::string text = std::string("[") + kScenesSection + "]" + kLineBreak;
  text += Format("count=%d", static_cast<int>(scenes.size())) + kLineBreak;
  for (size_t i = 0; i < names.size(); ++i) text += Format("%d=%s", static_cast<int>(i), names[i].c_str()) + kLineBreak;
  for (size_t i = 0; i < scenes.size(); ++i) {
    TMDLFrameGroup& scene = frames.Scene(scenes[i]);
    const int first = frames.FrameIndex(&scene);
    text += "[" + names[i] + "]" + kLineBreak;
    text += Format("count=%d", scene.Count()) + kLineBreak;
    for (int j = 0; j < scene.Count(); ++j) {
      const std::string file = base + std::to_string(first + j) + extension;
      scene.Frame(j).ExportFrame(folder + file);
      text += Format("%d=%s", j, file.c_str()) + kLineBreak;
    }
  }
  // The list is written last, in one piece: a failed export leaves no list
  // that names frame files which were never written.
  TIniFile list(listFile);
  list.SetText(text);
  list.UpdateFile();
}

TFrameImportCount TMDLEditor::LoadScenes(const std::string& listFile) {
  TFrameImportCount result;
  if (!IsValid()) return result;
  // A missing list would read as an empty one and import nothing silently.
  if (!FileExists(listFile))
    throw EFOpenError(Format("Cannot open file \"%s\". No such file", listFile.c_str()));
  const TIniFile list(listFile);
  const std::string folder = ExtractFilePath(listFile);
  TMDLFrameList& frames = *Model->Frames;
  const int64_t vertices = std::max(Model->Vertices->Count(), 1);
  const int64_t maxFrames = kMaxListedPositions / vertices;
  int64_t added = 0;
  bool building = false;

  TUndoStep step(*this, "Import Scenes");
  Blocked = true;
  try {
    const int32_t count = list.ReadInteger(kScenesSection, kCountKey, 0);
    for (int i : ListedIndices(list, kScenesSection, count)) {
      const std::string name = list.ReadString(kScenesSection, std::to_string(i), "");
      if (name.empty()) continue;
      const int32_t frameCount = list.ReadInteger(name, kCountKey, 0);
      if (frameCount <= 0) continue;
      TMDLFrameGroup& scene = frames.NewScene();
      building = true;
      for (int j : ListedIndices(list, name, frameCount)) {
        const std::string file = list.ReadString(name, std::to_string(j), "");
        if (file.empty()) continue;
        CheckPlainFileName(file, listFile);
        if (++added > maxFrames)
          throw EMDLError(Format("Too many frames listed in %s: a model of %d vertices takes at most %d more",
                                 listFile.c_str(), Model->Vertices->Count(), static_cast<int>(maxFrames)));
        auto frame = std::make_unique<TMDLFrame>(Model.get());
        frame->Assign(frames.Frame(0));
        frame->SetName(kLoadingName);
        if (!frame->ImportFrame(folder + file, false)) ++result.Mismatched;
        ++result.Frames;
        frame->SetName(LowerCase(name + std::to_string(j + 1)));
        scene.Add(std::move(frame));
      }
      building = false;
      // A scene whose entries were all empty would stay behind empty.
      if (scene.Count() == 0) frames.RemoveScene(frames.SceneCount() - 1);
    }
    frames.RebuildIndex();
  } catch (...) {
    // The scenes read completely stay; the one being read goes.
    if (building) frames.RemoveScene(frames.SceneCount() - 1);
    frames.RebuildIndex();
    Blocked = false;
    SetModified(true);
    throw;
  }
  Blocked = false;
  SetModified(true);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  NotifyFrameMismatches(result.Mismatched, result.Frames);
  return result;
}

// ---- durations ------------------------------------------------------------------------

const std::vector<std::string>& TMDLEditor::GetSceneDurations() {
  DurationList.clear();
  if (!IsValid()) return DurationList;
  TMDLFrameList& frames = *Model->Frames;
  for (int i = 0; i < SceneFrameCount; ++i)
    DurationList.push_back(FormatDuration(frames.SceneFrameDuration(CurrentScene, i)));
  return DurationList;
}

void TMDLEditor::SetSceneDurations(const std::vector<std::string>& lines) {
  if (!IsValid()) return;
  // Each time is the previous one plus a duration, so a list that stopped
  // half-way would shift the frames after it: all lines are read first.
  if (static_cast<int>(lines.size()) < SceneFrameCount)
    throw EMDLError(Format("%d durations given for the %d frames of scene '%s'", static_cast<int>(lines.size()),
                           SceneFrameCount, CurrentSceneName().c_str()));
  std::vector<float> durations(static_cast<size_t>(SceneFrameCount));
  // The times the frames get, summed as the frame list sums them: each
  // must stay a finite float as well.
  float time = 0;
  for (int i = 0; i < SceneFrameCount; ++i) {
    const std::string& line = lines[static_cast<size_t>(i)];
    float& d = durations[static_cast<size_t>(i)];
    if (!ParseDuration(line, d))
      throw EMDLError(Format("\"%s\" on line %d is not a valid duration", line.c_str(), i + 1));
    time = i > 0 ? static_cast<float>(static_cast<double>(time) + d) : d;
    if (!std::isfinite(time))
      throw EMDLError(Format("The durations up to line %d add up to more time than a frame can hold", i + 1));
  }
  TUndoStep step(*this, "Edit Durations");
  TMDLFrameList& frames = *Model->Frames;
  for (int i = 0; i < SceneFrameCount; ++i)
    frames.SetSceneFrameDuration(CurrentScene, i, durations[static_cast<size_t>(i)]);
}
