#include "platform/qt_audio_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace vantoril {
namespace {

// How often the sink is topped up; its own buffer holds several times this.
constexpr int kFeedIntervalMs = 10;

QAudioFormat::SampleFormat SampleFormatOf(const WaveFormat& format) {
  if (format.formatTag == WaveFormat::kIeeeFloat) return QAudioFormat::Float;
  switch (format.bitsPerSample) {
    case 8:
      return QAudioFormat::UInt8;
    case 16:
      return QAudioFormat::Int16;
    case 32:
      return QAudioFormat::Int32;
    default:
      return QAudioFormat::Unknown;
  }
}

}  // namespace

// Everything Qt lives on the device thread: the sink, its I/O device and the
// feed timer are made, used and destroyed there. The queue is shared with the
// callers' threads under `mutex`.
class QtAudioOutput::Device {
 public:
  ~Device() { Close(); }

  int Open(const WaveFormat& format, BufferDone done) {
    Close();
    if (!IsPlayableFormat(format)) return kAudioBadFormat;
    if (!QCoreApplication::instance()) return kAudioNoDevice;
    blockAlign_ = format.blockAlign;
    thread_ = std::make_unique<QThread>();
    context_ = std::make_unique<QObject>();
    context_->moveToThread(thread_.get());
    thread_->start();

    int result = kAudioError;
    QMetaObject::invokeMethod(
        context_.get(), [&] { result = OpenOnThread(format); }, Qt::BlockingQueuedConnection);
    if (result != kAudioOpened) {
      StopThread();
      return result;
    }
    std::lock_guard lock(mutex_);
    done_ = std::move(done);
    open_ = true;
    return kAudioOpened;
  }

  bool IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
  }

  void Queue(std::span<const uint8_t> samples) {
    {
      std::lock_guard lock(mutex_);
      if (!open_) return;
      queue_.emplace_back(samples.begin(), samples.end());
    }
    // Feed at once rather than at the next tick: the start of the sound.
    QMetaObject::invokeMethod(
        context_.get(), [this] { Feed(); }, Qt::QueuedConnection);
  }

  void Reset() {
    if (!DropQueue(false)) return;
    // Also what the sink holds; push mode starts again on a fresh device.
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
          if (!sink_) return;
          sink_->reset();
          io_ = sink_->start();
        },
        Qt::BlockingQueuedConnection);
  }

  void Close() {
    if (!DropQueue(true)) return;
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
          timer_.reset();
          if (sink_) sink_->stop();
          sink_.reset();
          io_ = nullptr;
        },
        Qt::BlockingQueuedConnection);
    StopThread();
    std::lock_guard lock(mutex_);
    done_ = nullptr;
  }

 private:
  int OpenOnThread(const WaveFormat& format) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return kAudioNoDevice;
    QAudioFormat audioFormat;
    audioFormat.setSampleRate(int(format.samplesPerSec));
    audioFormat.setChannelCount(format.channels);
    audioFormat.setSampleFormat(SampleFormatOf(format));
    if (!device.isFormatSupported(audioFormat)) return kAudioBadFormat;
    sink_ = std::make_unique<QAudioSink>(device, audioFormat);
    io_ = sink_->start();
    if (!io_ || sink_->error() != QAudio::NoError) {
      // With no sound server the sink ends in OpenError: no device.
      const bool openError = sink_->error() == QAudio::OpenError || !io_;
      sink_.reset();
      io_ = nullptr;
      return openError ? kAudioNoDevice : kAudioError;
    }
    timer_ = std::make_unique<QTimer>();
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Feed(); });
    timer_->start(kFeedIntervalMs);
    return kAudioOpened;
  }

  // On the device thread: hands the sink what it can take and reports each
  // buffer it took whole. The reports go out without the lock.
  void Feed() {
    if (!sink_ || !io_) return;
    int finished = 0;
    BufferDone done;
    {
      std::lock_guard lock(mutex_);
      while (!queue_.empty()) {
        qint64 room = sink_->bytesFree();
        room -= room % std::max<qint64>(1, blockAlign_);
        if (room <= 0) break;
        const std::vector<uint8_t>& front = queue_.front();
        const qint64 count = std::min<qint64>(room, qint64(front.size() - frontOffset_));
        const qint64 written =
            io_->write(reinterpret_cast<const char*>(front.data() + frontOffset_), count);
        if (written <= 0) break;
        frontOffset_ += size_t(written);
        if (frontOffset_ == front.size()) {
          queue_.pop_front();
          frontOffset_ = 0;
          ++finished;
        }
      }
      if (finished == 0) return;
      reporting_ = true;
      done = done_;
    }
    for (int i = 0; i < finished && done; ++i) done();
    std::lock_guard lock(mutex_);
    reporting_ = false;
    idle_.notify_all();
  }

  // Empties the queue and waits for a report in progress; closing also stops
  // new buffers. False when the device is not open.
  bool DropQueue(bool closing) {
    std::unique_lock lock(mutex_);
    if (!open_) return false;
    if (closing) open_ = false;
    queue_.clear();
    frontOffset_ = 0;
    idle_.wait(lock, [this] { return !reporting_; });
    return true;
  }

  void StopThread() {
    if (!thread_) return;
    thread_->quit();
    thread_->wait();
    context_.reset();
    thread_.reset();
  }

  std::unique_ptr<QThread> thread_;
  std::unique_ptr<QObject> context_;
  // Device thread only.
  std::unique_ptr<QAudioSink> sink_;
  std::unique_ptr<QTimer> timer_;
  QIODevice* io_ = nullptr;  // owned by the sink
  int blockAlign_ = 1;

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  bool open_ = false;
  bool reporting_ = false;
  BufferDone done_;
  std::deque<std::vector<uint8_t>> queue_;
  size_t frontOffset_ = 0;
};

QtAudioOutput::QtAudioOutput() : device_(std::make_unique<Device>()) {}
QtAudioOutput::~QtAudioOutput() = default;

int QtAudioOutput::Open(const WaveFormat& format, BufferDone done) {
  return device_->Open(format, std::move(done));
}
bool QtAudioOutput::IsOpen() const {
  return device_->IsOpen();
}
void QtAudioOutput::Queue(std::span<const uint8_t> samples) {
  device_->Queue(samples);
}
void QtAudioOutput::Reset() {
  device_->Reset();
}
void QtAudioOutput::Close() {
  device_->Close();
}

}  // namespace vantoril
