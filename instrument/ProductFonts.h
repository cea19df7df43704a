#pragma once

namespace trov {

class Font;

// The eight product fonts: index 1 the 10-point "Verdana" of lists and texts, 2 and 3 the two pixel faces
// of the displays, 4 to 7 the "Verdana" sizes of the panel, and 8 the fallback every other index answers
// (which "DisplayFontSize" replaces). Built at load before anything asks for them, destroyed at unload.
// Threads: built and replaced on the loading or user-interface thread; read from any thread.
void createProductFonts();
void destroyProductFonts();
// The font of the index (8 for any index outside 1..7); null before createProductFonts.
Font* getProductFont(int index);

} // namespace trov
