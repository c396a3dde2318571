#include "plcsim/model.h"

#include <algorithm>

#include "plcsim/handler.h"
#include "plcsim/protocol.h"

namespace plcsim {

namespace {
constexpr uint16_t kSetSpeed = 1200;  // DM91 drive speed, DM92/DM93 ramps
constexpr uint16_t kRampA = 150, kRampB = 180;
}  // namespace

PlcModel::PlcModel(SimConfig config) : config_(std::move(config)), dm_(65536, 0) {
  if (config_.positions < 1) config_.positions = 9;
  if (config_.levels < 1) config_.levels = 1;
  SetDm(kLevelsWord, static_cast<uint16_t>(config_.levels));
  SetDm(kPositionsWord, static_cast<uint16_t>(config_.positions));
  SetDm(kSerialWord, static_cast<uint16_t>(config_.serialNo));
  SetDm(kPositionWord, 1);
  SetDm(kSetSpeedWord, kSetSpeed);
  SetDm(kRampUpWord, kRampA);
  SetDm(kRampDownWord, kRampB);
  poweredSeconds_ = config_.poweredSeconds;
  SetDm(kHoursWord, static_cast<uint16_t>(poweredSeconds_ / 3600));
  SetPair(dm_[kPoweredLow], dm_[kPoweredHigh], poweredSeconds_);
  SetPair(dm_[kOnTimeLow], dm_[kOnTimeHigh], config_.onSeconds);
  SetPair(dm_[kGateCyclesLow], dm_[kGateCyclesHigh], config_.gateCycles);
  SetRelay(kThreePlateRouteRelay, config_.threePlateRoute);
  SetRelay(kTwoCarouselsRelay, config_.twoCarousels);
  plates_ = PlateStore(config_.positions, config_.levels, config_.plates);
  startPlates_ = plates_.Count();
  Publish(0);
}

bool PlcModel::Relay(int n) const {
  auto it = relays_.find(n);
  return it != relays_.end() && it->second;
}

void PlcModel::SetRelay(int n, bool on) {
  relays_[n] = on;
}

bool PlcModel::TimerDone(int n) const {
  auto it = timers_.find(n);
  return it != timers_.end() && it->second;
}

std::string PlcModel::Handle(std::string_view request, int64_t now) {
  if (logRequests) requests_.emplace_back(request);
  Advance(now);
  return Execute(request, now_);
}

std::string PlcModel::Execute(std::string_view raw, int64_t now) {
  Request request;
  std::string error = ParseRequest(raw, request);
  if (!error.empty()) {
    CountError(ErrorCounter::kBadRequest);
    return error;
  }
  int n = request.number;
  switch (request.kind) {
    case RequestKind::kBlank:
      return "";
    case RequestKind::kOpen:
      return "CC";
    case RequestKind::kClose:
      return "CF";
    case RequestKind::kSet:
    case RequestKind::kReset: {
      // The device reacts to a relay's edges: setting a relay that is already on (a move
      // still waiting, say) changes nothing.
      bool on = request.kind == RequestKind::kSet;
      bool was = Relay(n);
      SetRelay(n, on);
      if (on && !was) OnRelaySet(n, now);
      if (!on && was) OnRelayReset(n, now);
      return "OK";
    }
    case RequestKind::kReadRelay:
      return Relay(n) ? "1" : "0";
    case RequestKind::kReadTimer:
      // Contact, then current and preset values: 13 characters in all.
      return std::string(TimerDone(n) ? "1" : "0") + ",00000,00000";
    case RequestKind::kReadDm:
      return std::to_string(Dm(n));
    case RequestKind::kWriteDm:
      SetDm(n, request.value);
      OnDmWritten(n, now);
      return "OK";
  }
  return kUnknownCommand;
}

void PlcModel::OnRelaySet(int n, int64_t now) {
  if (n == kCarouselActivation) {
    Publish(now);
  } else if (n == kSystemReset) {
    SystemReset(now);
  } else if (n == kGateOpenRelay) {
    Enqueue(Job{JobKind::kGateOpen, n}, now);
  } else if (n == kGateCloseRelay) {
    Enqueue(Job{JobKind::kGateClose, n}, now);
  } else if (n == kEndAccessRelay) {
    Enqueue(Job{JobKind::kEndAccess, n}, now);
  } else if (IsMoveRelay(n)) {
    // A move's own carousel target, sent just before it, starts a turn the move waits
    // behind; anything else moving means the console did not wait for Ready.
    const bool ownTurnOnly = rotation_.turning && rotation_.target == Dm(kTargetWord) &&
                             !jobRunning_ && jobs_.empty() && !resetting_;
    if (!ownTurnOnly) NoteMoveArriving();
    if (error_) {
      // A standing error refuses every move until System Reset.
      SetRelay(n, false);
      CountError(ErrorCounter::kRefusedInError);
      ++refusedMoves_;
      return;
    }
    SetRelay(kPlateReady, false);
    Enqueue(Job{JobKind::kMove, n, Dm(kTargetWord), Dm(kLevelWord)}, now);
  } else if (n == kShovelRelay) {
    MoveArm(shovel_, true, now);
  } else if (n == kTurnRelay) {
    MoveArm(turn_, true, now);
  }
}

void PlcModel::NoteMoveArriving() {
  if (Busy() || error_) ++movesWhileNotReady_;
}

void PlcModel::OnRelayReset(int n, int64_t now) {
  if (n == kCarouselActivation) {
    Publish(now);
  } else if (n == kShovelRelay) {
    MoveArm(shovel_, false, now);
  } else if (n == kTurnRelay) {
    MoveArm(turn_, false, now);
  }
}

void PlcModel::OnDmWritten(int address, int64_t now) {
  if (address == kTargetWord) {
    NoteMoveArriving();
    int target = Dm(kTargetWord);
    // Before activation the target is only stored; 0 and targets beyond the carousel
    // turn nothing.
    if (!Relay(kCarouselActivation) || error_ || target < 1 || target > config_.positions) return;
    if (jobRunning_ || !jobs_.empty() || resetting_) {
      Enqueue(Job{JobKind::kRotate, 0, target}, now);
    } else {
      StartRotation(target, now);
      Publish(now);
    }
  } else if (address == kLiftWord) {
    Enqueue(Job{JobKind::kLift, 0, 0, 0, Dm(kLiftWord)}, now);
  } else if (address == kServiceWord) {
    SetRelay(kServiceAccessRelay, Dm(kServiceWord) == kServiceCode);
  }
}

void PlcModel::Advance(int64_t now) {
  if (now_ < 0) {
    now_ = now;
    nextBooking_ = now + kBookingMicros;
  }
  now = std::max(now, now_);
  while (!events_.empty() && events_.begin()->first <= now) {
    auto first = events_.begin();
    int64_t at = first->first;
    Event event = first->second;
    events_.erase(first);
    now_ = at;
    Book(at);
    Process(event, at);
  }
  now_ = now;
  Book(now);
  if (rotation_.turning) {
    SetDm(kPositionWord, static_cast<uint16_t>(ReportedPosition(rotation_, now)));
    SetDm(kSpeedWord, DriveSpeed(rotation_, now, Dm(kSetSpeedWord)));
  }
}

}  // namespace plcsim
