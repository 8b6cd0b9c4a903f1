#include "main/HistoryCut.h"

std::size_t CutAtCharacter(const std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    std::size_t cut = limit;
    // Continuation bytes are 10xxxxxx; the cut goes before the lead byte of their character.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}
