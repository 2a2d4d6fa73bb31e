#pragma once
// The small interfaces through which the portable core reaches the machine.
// One interface per service: display, audio, serial port, clock, events.
// Implementations live under platform/ (SDL and POSIX); the tests bring fakes.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace talvaro {

// ---------------------------------------------------------------- display

// A font as the panel names it. points 0 asks for the platform's default font
// of a new drawing surface (the font in force before anyone selects one).
struct FontSpec {
  std::string face;
  int points = 0;
  int weight = 0;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct WindowSpec {
  std::string caption;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class Display {
 public:
  virtual ~Display() = default;
  // Opens the one fixed-size window, its surface filled with the window
  // background. false when it cannot be created; drawing then does nothing.
  virtual bool open_window(const WindowSpec& spec) = 0;
  virtual void close_window() = 0;
  // Draws one line of text with the top-left corner of its first character
  // cell at (x, y), every cell filled white before its glyph, and makes it
  // visible on screen at once. Colours are blue * 65536 + green * 256 + red.
  // Returns the width in pixels of what was drawn.
  virtual int draw_text(int x, int y, std::string_view text, const FontSpec& font, int rgb) = 0;
};

// ---------------------------------------------------------------- audio

// Decoded PCM of one clip, little-endian as in the WAV file.
struct Sound {
  std::string path;
  int channels = 1;
  int sample_rate = 22050;
  int bits_per_sample = 16;
  std::vector<std::uint8_t> samples;

  // Playing time of the sample bytes actually present.
  double seconds() const {
    const int frame = channels * (bits_per_sample / 8);
    if (frame <= 0 || sample_rate <= 0) return 0.0;
    return static_cast<double>(samples.size() / static_cast<std::size_t>(frame)) / sample_rate;
  }
};

class Audio {
 public:
  virtual ~Audio() = default;
  // Stops any clip still sounding, then starts this one. With wait it returns
  // when the clip has finished (and takes the clip's length even when no
  // audio device could be opened); without wait it returns at once.
  virtual void play(std::shared_ptr<const Sound> sound, bool wait) = 0;
  // Stops any clip still sounding.
  virtual void stop() = 0;
};

// ---------------------------------------------------------------- serial port

// One open serial device. Destroying it closes the device and restores the
// terminal settings found when it was opened.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // Data bits, parity code (0 = none), stop-bits code (1 = one, other = two).
  // false when the driver refuses; the previous settings then stay.
  virtual bool set_line_format(int data_bits, int parity, int stop_bits) = 0;
  // -1: reads return at once with what has arrived. Other values: reads wait
  // up to that many milliseconds per byte.
  virtual void set_read_timeouts(int multiplier) = 0;
  // Received bytes not yet read; also clears any line-error condition.
  // 0 once the line has been hung up.
  virtual int bytes_waiting() = 0;
  // Reads up to max_count bytes that have arrived; returns how many.
  virtual int read(char* buffer, int max_count) = 0;
  // Writes the bytes; returns how many were taken.
  virtual int write(const char* bytes, int count) = 0;
};

class SerialPorts {
 public:
  virtual ~SerialPorts() = default;
  // Opens port number 1 to 256 for exclusive use at the baud rate, with 8 data
  // bits, one stop bit, no parity. nullptr when it cannot be opened or set up.
  virtual std::unique_ptr<SerialDevice> open(int port_number, int baud) = 0;
};

// ---------------------------------------------------------------- port finding

// One serial port the system offers, as the setup program lists it.
struct PortCandidate {
  // The number the panel reaches it by (a COMn link in the working folder:
  // n; Linux /dev/ttyS(k): k + 1; Windows COMn: n); 0 when it has none yet
  // (a USB adapter on Linux, which gets a COMn link when chosen).
  int number = 0;
  // The name to open it by: the stable /dev/serial/by-id name when there is
  // one, else the device path, "COMn" for a link in the working folder, or
  // Windows' "COMn".
  std::string device;
  // What the name resolves to, to tell two names of one device apart.
  std::string identity;
  bool usb = false;        // a USB (or other plug-in) adapter
  bool in_folder = false;  // a COMn link (or device) in the working folder
  friend bool operator==(const PortCandidate&, const PortCandidate&) = default;
};

class PortFinder {
 public:
  virtual ~PortFinder() = default;
  // The serial ports present now, COMn links in the working folder included.
  virtual std::vector<PortCandidate> find_ports() = 0;
  // Opens a found port by its device name as SerialPorts::open does by
  // number: exclusive, raw, at the baud rate, 8 data bits, one stop bit, no
  // parity; its settings given back when the device is destroyed.
  virtual std::unique_ptr<SerialDevice> open_device(const std::string& device, int baud) = 0;
  // Makes COM<number> in the working folder lead to the device so the panel
  // opens it as that port: replaces an old link, never a regular file. Where
  // the system itself names ports COMn (Windows) there is nothing to make.
  // false when the link could not be made.
  virtual bool link_port(int number, const std::string& device) = 0;
};

// ---------------------------------------------------------------- clock

struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime local_time() = 0;
};

// ---------------------------------------------------------------- events

inline constexpr int event_key_down = 256;
inline constexpr int event_key_up = 257;
inline constexpr int event_timer = 275;
inline constexpr int event_close = 32770;

struct Event {
  int code = 0;
  int param = 0;
  friend bool operator==(const Event&, const Event&) = default;
};

class EventSource {
 public:
  virtual ~EventSource() = default;
  // Starts the poll timer. Ticks that fall due while an event is being handled
  // merge into one pending tick, which stands for the latest of them: it is
  // handed over after the key events that occurred meanwhile.
  virtual void start_timer(int period_ms) = 0;
  virtual void stop_timer() = 0;
  // Waits, without using the processor, until at least one event is pending,
  // then hands over every pending event in the order they occurred. Key events
  // carry virtual-key codes.
  virtual void wait_events(std::vector<Event>& events) = 0;
};

// ---------------------------------------------------------------- bundle

struct Platform {
  Display& display;
  Audio& audio;
  SerialPorts& serial;
  Clock& clock;
  EventSource& events;
  // Folder of the program file: clips are looked for there after the
  // working folder.
  std::string program_dir;
};

}  // namespace talvaro
