// libFuzzer entry for the reply handling of the Modbus exchange.

#include "FuzzReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kolva::fuzz::FuzzReplyInput(data, size);
    return 0;
}
