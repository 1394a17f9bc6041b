// The test tools that attach to the draw window: the Measure Tool, the Cedar Circle and the
// Cedar Square dialogs. The window holds a pointer to each while it is open (null when closed)
// and calls them where they take part: the Measure Tool gets every decoded point, the cursor
// and the Mark; the Cedar Circle ring follows the held mouse button; a touch-down on the Cedar
// Square's target starts its run.
#pragma once

namespace kx7 {

class MeasureToolFeed {
 public:
  virtual ~MeasureToolFeed() = default;
  // A decoded point in controller units of `fullScale`; `signedValues` for the raw format.
  virtual void OnPoint(int x, int y, int fullScale, bool touching, bool signedValues) = 0;
  virtual void OnCursor(int x, int y) = 0;
  virtual void OnMark(int x, int y) = 0;
  virtual int FullScale() const = 0;
  virtual void TakeFocus() = 0;
  virtual void Close() = 0;
};

class CedarCircleTool {
 public:
  virtual ~CedarCircleTool() = default;
  // "Size ( 1% - 100% )": the ring's diameter in percent of the client width and height.
  virtual int SizePercent() const = 0;
  virtual void BringToTop() = 0;
  virtual void Close() = 0;
};

class CedarSquareTool {
 public:
  virtual ~CedarSquareTool() = default;
  virtual bool ArmedAndWaiting() const = 0;
  virtual int TargetX() const = 0;
  virtual int TargetY() const = 0;
  virtual int Tolerance() const = 0;
  virtual void StartRun() = 0;
  virtual void Close() = 0;
};

}  // namespace kx7
