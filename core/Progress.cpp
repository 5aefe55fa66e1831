#include "core/Progress.h"

#include <algorithm>

namespace {

TCursorHook& CursorHook() {
  static TCursorHook hook;
  return hook;
}
TCursor gRememberedCursor = crDefault;

}  // namespace

void TIntList::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  Items_.erase(Items_.begin() + index);
}

void SetScreenCursorHook(TCursorHook hook) { CursorHook() = std::move(hook); }

TCursor ScreenCursor() {
  auto& h = CursorHook();
  return h.Get ? h.Get() : gRememberedCursor;
}

void SetScreenCursor(TCursor cursor) {
  gRememberedCursor = cursor;
  auto& h = CursorHook();
  if (h.Set) h.Set(cursor);
}

TProgressor& Progressor() {
  static TProgressor instance;
  return instance;
}

void TProgressor::Start(int32_t position, const std::string& description) {
  const bool wasActive = Active_;
  Active_ = true;
  if (wasActive) {
    PositionStack_.Add(Position_);
    DescriptionStack_.push_back(Description_);
    CursorStack_.Add(ScreenCursor());
  }
  SetDescription(description);
  SetPosition(position);
  if (!wasActive) {
    SavedCursor_ = ScreenCursor();
    SetScreenCursor(BusyCursor_);
    Notify(&TProgressObserver::OnStart);
  }
}

void TProgressor::Finish() {
  Active_ = PositionStack_.Count() > 0;
  if (Active_) {
    if (!DescriptionStack_.empty()) {
      std::string d = DescriptionStack_.back();
      DescriptionStack_.pop_back();
      SetDescription(d);
    }
    if (PositionStack_.Count() > 0) {
      int32_t p = PositionStack_.Items(PositionStack_.Count() - 1);
      PositionStack_.Delete(PositionStack_.Count() - 1);
      SetPosition(p);
    }
    if (CursorStack_.Count() > 0) {
      TCursor c = static_cast<TCursor>(CursorStack_.Items(CursorStack_.Count() - 1));
      CursorStack_.Delete(CursorStack_.Count() - 1);
      SetScreenCursor(c);
    }
  } else {
    SetScreenCursor(SavedCursor_);
    Notify(&TProgressObserver::OnFinish);
  }
}

void TProgressor::SetDescription(const std::string& text) {
  if (text == Description_) return;
  Description_ = text;
  Notify(&TProgressObserver::OnDescriptionChange);
}

void TProgressor::SetPosition(int32_t value) {
  if (value == Position_) return;
  Position_ = value;
  auto observers = Observers_;
  for (auto* o : observers) {
    if (!IsObserver(o) || !o->Enabled) continue;
    if (o->LastPosition_ / o->Accuracy_ != value / o->Accuracy_) {
      o->LastPosition_ = value;
      if (o->OnProgressChange) o->OnProgressChange(o);
    }
  }
}

bool TProgressor::IsObserver(TProgressObserver* o) const {
  return std::find(Observers_.begin(), Observers_.end(), o) != Observers_.end();
}

void TProgressor::Notify(TProgressObserver::TNotifyEvent TProgressObserver::*event) {
  // Work on a copy and skip observers that a handler removed meanwhile.
  auto observers = Observers_;
  for (auto* o : observers)
    if (IsObserver(o) && o->Enabled && o->*event) (o->*event)(o);
}

void TProgressor::SetBusyCursor(TCursor cursor) {
  BusyCursor_ = cursor;
  if (Active_) SetScreenCursor(cursor);
}

void TProgressor::AddObserver(TProgressObserver* observer) {
  if (std::find(Observers_.begin(), Observers_.end(), observer) == Observers_.end())
    Observers_.push_back(observer);
}

void TProgressor::RemoveObserver(TProgressObserver* observer) {
  Observers_.erase(std::remove(Observers_.begin(), Observers_.end(), observer), Observers_.end());
}

TProgressObserver::TProgressObserver() { Progressor().AddObserver(this); }

TProgressObserver::~TProgressObserver() { Progressor().RemoveObserver(this); }

void TProgressObserver::SetAccuracy(int value) { Accuracy_ = std::clamp(value, 1, 50); }
