// No HTTP client: the statically linked 32-bit Linux test build
// (cmake/i686-linux.cmake) has no 32-bit libcurl to link. Never shipped.
#include "Http.h"

namespace zalohy::http {

Answer post(const std::string&, std::string_view, std::string_view, std::chrono::milliseconds) {
    return {Failure::Other, 0, "tato sestava programu nemá klienta HTTP"};
}

}  // namespace zalohy::http
