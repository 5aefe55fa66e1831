#pragma once
// The transform of one object in one frame: nine channels (translation,
// rotation in degrees, scale) on top of the parent's transform. After every
// update Matrix = LocalMatrix * BuildTransform(channels), and DeltaMatrix is
// the change that update made, which the owning object applies to its
// vertices when told through OnChange.

#include <functional>

#include "core/Vectors.h"

// Whether every element equals the identity's (so -0 counts as 0, and a NaN
// anywhere makes it false).
bool IsIdentityMatrix(const TMatrix& m);

class TPivot {
public:
  // Channels 0-2 translation x, y, z; 3-5 rotation x, y, z; 6-8 scale x, y, z.
  static constexpr int kChannels = 9;
  // Scale channels never hold a magnitude below this.
  static constexpr float kMinScale = 0.1f;

  TPivot();
  // Everything, OnChange too (the owner of a copy binds it again).
  TPivot(const TPivot&) = default;
  TPivot& operator=(const TPivot&) = default;
  // The same state to the bit, OnChange aside.
  bool operator==(const TPivot& other) const;

  // Told after every change that should move vertices.
  std::function<void(TPivot&)> OnChange;

  void Update();
  void Changed();
  void SetChannels(float tx, float ty, float tz, float rx, float ry, float rz, float sx, float sy, float sz);
  void SetChannelsNotify(float tx, float ty, float tz, float rx, float ry, float rz, float sx, float sy,
                         float sz);
  // An index outside 0..8 stores nothing but still updates and notifies.
  void SetChannel(int i, float v);
  float Channel(int i) const;
  bool IsKey(int i) const { return i >= 0 && i < kChannels && IsKey_[i]; }
  void SetIsKey(int i, bool flag);
  void SetLocalMatrix(const TMatrix& m);
  void Reparent(const TMatrix& m);
  void ResetTo(const TMatrix& m);
  void MoveTo(float x, float y, float z);
  // Copies everything but DeltaMatrix.
  void Assign(const TPivot& source);
  // Copies everything but OnChange, without notifying.
  void CopyState(const TPivot& source);
  // Stores state as read from a file (scale components at least 0.1) and
  // recomputes the matrices without notifying.
  void LoadState(const TMatrix& local, const float translation[3], const float rotation[3],
                 const float scale[3]);

  const TMatrix& Matrix() const { return Matrix_; }
  const TMatrix& LocalMatrix() const { return LocalMatrix_; }
  const TMatrix& DeltaMatrix() const { return DeltaMatrix_; }
  const float* Translation() const { return Translation_; }
  const float* Rotation() const { return Rotation_; }
  const float* Scale() const { return Scale_; }

private:
  static float ClampScale(float v);
  bool IsKey_[kChannels] = {};
  TMatrix Matrix_;
  float Rotation_[3] = {0, 0, 0};
  TMatrix LocalMatrix_;
  float Scale_[3] = {1, 1, 1};
  TMatrix DeltaMatrix_;
  float Translation_[3] = {0, 0, 0};
};
