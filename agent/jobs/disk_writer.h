// The direct-to-disk target: print data written to a file as plain text.
#pragma once

#include <cstdint>
#include <span>

namespace vorn::platform {
class File;
}

namespace vorn {

// Size of the staging buffer through which writedisk writes.
inline constexpr std::size_t kDiskStagingSize = 1000;

// Translates one block of print data and writes the result to `file`:
//   0x20..0xFF, CR, LF      the byte itself
//   0x02                    dropped with every following byte >= 0x20
//   FF                      FF; with `jetform` "\r\n^EJECT\r\n", or "\r\n" alone
//                           when it is the final byte of the last block
//   0x0E n                  n blanks
//   0x14 L data             the L - 32 bytes of data, unchanged
//   other bytes below 0x20  nothing
// Operands cut off by the end of the block: a 0x0E without its count writes
// nothing; a 0x14 without its length writes nothing, and one whose data runs
// past the end writes the data bytes present. Either way the block ends there
// (a block never carries state into the next one). A 0x14 whose length is
// below 0x20 writes nothing and consumes the 0x14 and its length byte.
// Output is staged in a fixed buffer of kDiskStagingSize bytes, written out
// before an item that would not fit and at the end of the block.
// A failed write throws FileException. Returns 0.
int writedisk(platform::File& file, std::span<const std::uint8_t> block, bool last, bool jetform);

}  // namespace vorn
