#pragma once
// How the picture is shown on the console, as the command line chose: the
// view (every cell as it is, or two picture rows to a console row) and the
// colours (the console's own, or the terminal's theme).

namespace vantrel {

enum class ViewChoice {
  bySize,  // the picture's pixels where the terminal draws them and they fit, else the
           // exact view where the whole picture fits, else the fitted view
  exact,
  fitted,
  pixels,  // the picture's pixels, where the console draws images
};

enum class ColourChoice {
  byTerminal,  // the console's colours as closely as the terminal says it can draw them
  console,     // the console's exact colours, whatever the terminal says
  terminal,    // the 16 colours of the terminal's own theme
};

struct ConsoleOptions {
  ViewChoice view = ViewChoice::bySize;
  ColourChoice colours = ColourChoice::byTerminal;
};

}  // namespace vantrel
