// The DNS test's reply reader over any packet: it never reads outside the
// packet, never loops, and accepts only a response carrying the asked id
// and the one asked question. A packet made from the query itself is read
// as its reply, so the matching path is explored too.
#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "dns/message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const char* const kNames[] = {"www.baidu.com", "abcdefghij012345.com", "a"};
    for (const char* name : kNames) {
        const std::uint16_t id = size >= 2 ? static_cast<std::uint16_t>((data[0] << 8) | data[1]) : 0;
        const std::vector<std::uint8_t> packet(data, data + size);
        if (const auto r = dns::readReply(packet, id, name)) {
            FUZZ_CHECK(size >= 12);
            FUZZ_CHECK(data[2] & 0x80);
            FUZZ_CHECK(data[4] == 0 && data[5] == 1);
            FUZZ_CHECK(r->rcode == (data[3] & 0xF));
        }
        FUZZ_CHECK(!dns::readReply(packet, static_cast<std::uint16_t>(id + 1), name));
        // The input as the tail of a reply to our own query.
        std::vector<std::uint8_t> reply = dns::encodeQuery(0x4242, name);
        FUZZ_CHECK(!reply.empty());
        reply[2] |= 0x80;
        reply.insert(reply.end(), data, data + size);
        if (size >= 2) reply[7] = data[0];   // the answer count, from the input
        (void)dns::readReply(reply, 0x4242, name);
    }
    return 0;
}
