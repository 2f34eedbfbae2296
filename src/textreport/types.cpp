#include "types.h"

namespace zr::textreport {

bool TStyle::has(TEstilo e) const {
    switch (e) {
    case TEstilo::Snegrito:
        return Snegrito;
    case TEstilo::Sitalico:
        return Sitalico;
    case TEstilo::Ssublinhado:
        return Ssublinhado;
    }
    return false;
}

void TStyle::include(TEstilo e) {
    switch (e) {
    case TEstilo::Snegrito:
        Snegrito = true;
        break;
    case TEstilo::Sitalico:
        Sitalico = true;
        break;
    case TEstilo::Ssublinhado:
        Ssublinhado = true;
        break;
    }
}

int pitchOf(TSize size) {
    switch (size) {
    case TSize::S05cpp:
        return 5;
    case TSize::S10cpp:
        return 10;
    case TSize::S12cpp:
        return 12;
    case TSize::S17cpp:
        return 17;
    case TSize::S20cpp:
        return 20;
    }
    return 10;
}

int attributeOf(TSize size) {
    switch (size) {
    case TSize::S05cpp:
        return 8;
    case TSize::S10cpp:
        return 16;
    case TSize::S12cpp:
        return 32;
    case TSize::S17cpp:
        return 64;
    case TSize::S20cpp:
        return 128;
    }
    return 16;
}

} // namespace zr::textreport
