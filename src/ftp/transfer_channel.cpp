#include "ftp/transfer_channel.h"

namespace tarnwick {

TransferChannel::TransferChannel(EventPoster& poster, TransferSettings settings)
    : poster_(poster), settings_(settings) {}

void TransferChannel::Deliver(const TransferOutcome& outcome) {
  poster_.Post([self = shared_from_this(), outcome] {
    if (self->alive_ && self->outcomeHandler_) {
      self->outcomeHandler_(outcome);
    }
  });
}

void TransferChannel::Report(const TransferProgress& progress) {
  poster_.Post([self = shared_from_this(), progress] {
    if (self->alive_ && self->progressHandler_) {
      self->progressHandler_(progress);
    }
  });
}

void TransferChannel::Wait(const TransferWait& wait) {
  poster_.Post([self = shared_from_this(), wait] {
    if (self->alive_ && self->waitHandler_) {
      self->waitHandler_(wait);
    }
  });
}

}  // namespace tarnwick
