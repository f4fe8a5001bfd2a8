#include "update/BytesToText.h"

namespace qinvara {

Text BytesToText(const Bytes& body) {
    // Text keeps what comes before the first NUL and nothing else.
    return Text(body.view());
}

}  // namespace qinvara
