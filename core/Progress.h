#pragma once
// Progress of long operations (loading, saving, merging, importing), reported
// through the one process-wide TProgressor. Windows watch it through
// TProgressObserver. Operations nest: an inner Start saves the outer state and
// its Finish restores it.
//
// By convention a description beginning with ">" is a detail step of the
// current operation; any other description is a main step. The progressor
// does not interpret the text.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TIntList {
public:
  void Add(int32_t value) { Items_.push_back(value); }
  void Delete(int index);
  int32_t Items(int index) const { return Items_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(Items_.size()); }

private:
  std::vector<int32_t> Items_;
};

// The screen's mouse cursor, reached through a hook so that the core needs
// no toolkit. Without a hook the cursor is only remembered.
using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crHourGlass = -11;
struct TCursorHook {
  std::function<TCursor()> Get;
  std::function<void(TCursor)> Set;
};
void SetScreenCursorHook(TCursorHook hook);
TCursor ScreenCursor();
void SetScreenCursor(TCursor cursor);

class TProgressObserver;

class TProgressor {
  friend class TProgressObserver;

public:
  void Start(int32_t position, const std::string& description);
  void Finish();
  void SetDescription(const std::string& text);
  const std::string& Description() const { return Description_; }
  void SetPosition(int32_t value);
  int32_t Position() const { return Position_; }
  bool Active() const { return Active_; }
  TCursor BusyCursor() const { return BusyCursor_; }
  void SetBusyCursor(TCursor cursor);
  void AddObserver(TProgressObserver* observer);
  void RemoveObserver(TProgressObserver* observer);

private:
  bool IsObserver(TProgressObserver* o) const;
  void Notify(std::function<void(TProgressObserver*)> TProgressObserver::*event);
  TCursor BusyCursor_ = crHourGlass;
  TIntList CursorStack_;
  std::string Description_;
  std::vector<std::string> DescriptionStack_;
  std::vector<TProgressObserver*> Observers_;
  TCursor SavedCursor_ = crDefault;
  int32_t Position_ = 0;
  bool Active_ = false;
  TIntList PositionStack_;
};

// The process-wide progressor, created on first use.
TProgressor& Progressor();

class TProgressObserver {
public:
  using TNotifyEvent = std::function<void(TProgressObserver* sender)>;

  TProgressObserver();
  ~TProgressObserver();
  TProgressObserver(const TProgressObserver&) = delete;
  TProgressObserver& operator=(const TProgressObserver&) = delete;

  int Accuracy() const { return Accuracy_; }
  void SetAccuracy(int value);  // clamped to 1..50
  TCursor BusyCursor() const { return Progressor().BusyCursor(); }
  void SetBusyCursor(TCursor cursor) { Progressor().SetBusyCursor(cursor); }
  bool Enabled = true;

  TNotifyEvent OnDescriptionChange;
  TNotifyEvent OnFinish;
  TNotifyEvent OnProgressChange;
  TNotifyEvent OnStart;

private:
  friend class TProgressor;
  int Accuracy_ = 5;
  int32_t LastPosition_ = 0;
};

// Runs Start/Finish around a scope, so that a failing operation still
// finishes its progress step.
class TProgressScope {
public:
  TProgressScope(int32_t position, const std::string& title) { Progressor().Start(position, title); }
  ~TProgressScope() { Progressor().Finish(); }
  TProgressScope(const TProgressScope&) = delete;
  TProgressScope& operator=(const TProgressScope&) = delete;
};
