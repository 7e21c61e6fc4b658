#pragma once
// A real terminal emulator (libvterm) for tests: feed it bytes, read back
// every cell's character and colours, and the screen modes a program set.

#include <vterm.h>

#include <string>
#include <string_view>

namespace vantrel::testing {

// What one emulated cell shows. Colours are ANSI palette indexes 0..15, or
// -1 for the terminal's default colour.
struct ShownCell {
  char32_t character = U' ';
  int foreground = -1;
  int background = -1;
  // The colours as RGB, 0xRRGGBB: direct colours as sent, indexed ones as
  // the emulator's palette draws them; -1 for a default colour.
  long foregroundRgb = -1;
  long backgroundRgb = -1;
};

class TerminalEmulator {
 public:
  TerminalEmulator(int columns, int rows) : terminal_(vterm_new(rows, columns)) {
    vterm_set_utf8(terminal_, 1);
    screen_ = vterm_obtain_screen(terminal_);
    callbacks_.settermprop = &TerminalEmulator::onProperty;
    vterm_screen_set_callbacks(screen_, &callbacks_, this);
    vterm_screen_enable_altscreen(screen_, 1);
    vterm_screen_reset(screen_, 1);
  }
  ~TerminalEmulator() { vterm_free(terminal_); }
  TerminalEmulator(const TerminalEmulator&) = delete;
  TerminalEmulator& operator=(const TerminalEmulator&) = delete;

  void feed(std::string_view bytes) { vterm_input_write(terminal_, bytes.data(), bytes.size()); }
  void resize(int columns, int rows) { vterm_set_size(terminal_, rows, columns); }

  ShownCell cell(int row, int column) const {
    VTermScreenCell raw{};
    vterm_screen_get_cell(screen_, VTermPos{row, column}, &raw);
    ShownCell shown;
    shown.character = raw.chars[0] == 0 ? U' ' : static_cast<char32_t>(raw.chars[0]);
    shown.foreground = paletteIndex(raw.fg);
    shown.background = paletteIndex(raw.bg);
    shown.foregroundRgb = rgbOf(raw.fg);
    shown.backgroundRgb = rgbOf(raw.bg);
    return shown;
  }

  bool alternateScreen = false;
  bool cursorVisible = true;
  std::string title;

 private:
  static int paletteIndex(const VTermColor& colour) {
    if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour)) return -1;
    if (!VTERM_COLOR_IS_INDEXED(&colour)) return -2;
    return colour.indexed.idx;
  }

  long rgbOf(VTermColor colour) const {
    if (VTERM_COLOR_IS_DEFAULT_FG(&colour) || VTERM_COLOR_IS_DEFAULT_BG(&colour)) return -1;
    vterm_screen_convert_color_to_rgb(screen_, &colour);
    return (long{colour.rgb.red} << 16) | (long{colour.rgb.green} << 8) | colour.rgb.blue;
  }

  static int onProperty(VTermProp property, VTermValue* value, void* user) {
    auto* self = static_cast<TerminalEmulator*>(user);
    if (property == VTERM_PROP_ALTSCREEN) self->alternateScreen = value->boolean != 0;
    if (property == VTERM_PROP_CURSORVISIBLE) self->cursorVisible = value->boolean != 0;
    if (property == VTERM_PROP_TITLE) self->title = value->string;
    return 1;
  }

  VTerm* terminal_;
  VTermScreen* screen_;
  VTermScreenCallbacks callbacks_{};
};

}  // namespace vantrel::testing
