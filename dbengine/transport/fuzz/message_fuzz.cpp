// Message parts as a receiver sees them: each chunk of the input (a 16-bit length, then the
// bytes) is checked, and sound parts are assembled in a queue; complete messages are handed
// out (reply bundles split on the way); a one-byte chunk, or a part that contradicts its
// message's length, hangs a connection up.  Also the
// reply-bundle reader on the raw input.
#include <cstddef>
#include <cstdint>

#include "dbengine/transport/message.h"
#include "dbengine/transport/messagequeue.h"

using namespace tw::dbengine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  bool damaged = false;
  (void)QNSplitReplyBundle(Data, Size, damaged);

  TqnDataMessageQueue queue;
  std::size_t pos = 0;
  std::uint8_t part[kQnMaxPartSize];
  while (Size - pos >= 2) {
    std::size_t n = Data[pos] | (Data[pos + 1] << 8);
    pos += 2;
    if (n > Size - pos) n = Size - pos;
    if (n > sizeof part) n = sizeof part;
    for (std::size_t i = 0; i < n; ++i) part[i] = Data[pos + i];
    pos += n;
    // A one-byte chunk stands for the hang-up of the connection it names.
    if (n == 1) {
      queue.DropIncomplete(part[0]);
      continue;
    }
    if (QNCheckPart(part, n) != TqnPartCheck::Ok) continue;
    TqnMessageHeader h;
    TqnMessageHeader::ReadFrom(part, n, h);
    // A part that contradicts its message's length hangs its connection up, as the receivers do.
    if (!queue.PartFits(h.ClientID, h)) {
      queue.DropIncomplete(h.ClientID);
      continue;
    }
    const std::uint32_t len = h.PartLength - static_cast<std::uint32_t>(kQnHeaderSize);
    // The queue keeps only the bytes that arrived, so a header announcing the largest message
    // costs no more than its part.
    if (h.FirstPart)
      queue.AddMessage(h.MessageID, h.ClientID, 0, h.ResultCode, part + kQnHeaderSize, h.TotalDataLength, len,
                       h.DataIsStream != 0);
    else
      queue.AppendPart(h.MessageID, h.ClientID, part + kQnHeaderSize, len);
    while (TqnDataMessage* m = queue.Head()) {
      if (m->Data.size() != m->DataLength) __builtin_trap();
      queue.RemoveHead();
    }
  }
  return 0;
}
