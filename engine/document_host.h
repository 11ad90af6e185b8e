#pragma once

#include <span>

#include "engine/key_frame.h"
#include "engine/message_sink.h"

namespace vantoril {

// What the show document asks of the windows around it. The program's main
// window implements it; the command-line tool and the tests do too. Every
// request has a harmless default so that a headless host implements only
// what it needs.
class DocumentHost : public MessageSink {
 public:
  void ShowMessage(std::string_view, long) override {}

  virtual void RepaintStage() {}
  virtual void RepaintTimeline() {}
  virtual void Beep() {}
  virtual void SetBusyCursor(bool /*busy*/) {}
  // While a show's pictures are read: `done` of `total` so far, from
  // (0, total) before the first to (total, total) after the last.
  virtual void PicturesLoading(int /*done*/, int /*total*/) {}

  // The stage view's table of picture states, one record per slot (32), or
  // an empty span when there is no stage view.
  virtual std::span<KeyFrame> StagePictureStates() { return {}; }

  // Whether a timeline window exists, and its frames per ruler step.
  virtual bool HasTimeline() const { return false; }
  virtual int TimeScale() const { return 30; }
};

}  // namespace vantoril
