#include "remote/transfer_channel.h"

#include <utility>

namespace tarnwick {

TransferChannel::TransferChannel(EventPoster& poster, TransferSettings settings)
    : poster_(poster), settings_(std::move(settings)) {}

void TransferChannel::Deliver(const TransferOutcome& outcome) { Post(&TransferChannel::outcomeHandler_, outcome); }

void TransferChannel::Report(const TransferProgress& progress) { Post(&TransferChannel::progressHandler_, progress); }

void TransferChannel::Wait(const TransferWait& wait) { Post(&TransferChannel::waitHandler_, wait); }

}  // namespace tarnwick
