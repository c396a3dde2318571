// The device behind the controller's words: the carousel, the handler's job queue, the
// gate, lift, shovel and turn, errors and the operating counters.
#include <algorithm>

#include "plcsim/handler.h"
#include "plcsim/model.h"

namespace plcsim {

namespace {
constexpr uint16_t kStatusTurning = 0x0001;
constexpr uint16_t kStatusMoving = 0x0002;
constexpr uint16_t kStatusGateOpen = 0x0004;
constexpr uint16_t kStatusGateMoving = 0x0008;
constexpr uint16_t kStatusLift = 0x0010;
constexpr uint16_t kStatusArms = 0x0020;
constexpr uint16_t kStatusReset = 0x0040;
constexpr uint16_t kStatusWaiting = 0x0080;
constexpr uint16_t kStatusError = 0x8000;
}  // namespace

bool PlcModel::Busy() const {
  return rotation_.turning || jobRunning_ || !jobs_.empty() || resetting_;
}

bool PlcModel::InMotion() const {
  return rotation_.turning || jobRunning_ || resetting_ || shovel_.moving || turn_.moving;
}

int PlcModel::CurrentPosition() const {
  if (rotation_.turning)
    return PositionAfter(rotation_.from, StepsDone(rotation_, now_), rotation_.positions);
  return Dm(kPositionWord);
}

void PlcModel::Schedule(int64_t at, EventKind kind, uint32_t generation) {
  events_.emplace(at, Event{kind, generation});
}

void PlcModel::Process(const Event& event, int64_t at) {
  switch (event.kind) {
    case EventKind::kRotationEnd:
      if (event.generation == rotationGeneration_ && rotation_.turning) FinishRotation(at);
      break;
    case EventKind::kJobDeliver:
      if (event.generation == jobGeneration_ && jobRunning_ && plates_.Move(moveFrom_, moveTo_))
        SetRelay(kPlateReady, true);
      break;
    case EventKind::kJobEnd:
      if (event.generation == jobGeneration_ && jobRunning_) FinishJob(at);
      break;
    case EventKind::kResetEnd:
      if (event.generation == resetGeneration_ && resetting_) {
        resetting_ = false;
        SetRelay(kSystemReset, false);
        StartJobs(at);
      }
      break;
    case EventKind::kArmSettled:
      for (Arm* arm : {&shovel_, &turn_})
        if (arm->moving && at >= arm->settleAt) arm->moving = false;
      break;
    case EventKind::kOperatorReset:
      if (event.generation == errorGeneration_ && error_) SystemReset(at);
      break;
  }
  Publish(at);
}

// --- carousel ---

void PlcModel::StartRotation(int target, int64_t now) {
  int from = CurrentPosition();
  rotation_ = PlanRotation(from, target, config_.positions, config_.turnStepMicros, now,
                           faults.wrongPosition);
  if (rotation_.glitch) CountError(ErrorCounter::kPositionError);
  Schedule(RotationEnd(rotation_), EventKind::kRotationEnd, ++rotationGeneration_);
}

void PlcModel::FinishRotation(int64_t now) {
  rotation_.turning = false;
  SetDm(kPositionWord, static_cast<uint16_t>(rotation_.target));
  SetDm(kSpeedWord, 0);
  StartJobs(now);
}

// --- jobs: handler moves, gate, lift and queued carousel targets, one at a time ---

void PlcModel::Enqueue(const Job& job, int64_t now) {
  jobs_.push_back(job);
  StartJobs(now);
  Publish(now);
}

void PlcModel::StartJobs(int64_t now) {
  while (!error_ && !resetting_ && !jobRunning_ && !jobs_.empty()) {
    if (!StartJob(jobs_.front(), now)) return;
    jobs_.pop_front();
  }
}

// Starts `job`, or returns false when it has to wait for the carousel.
bool PlcModel::StartJob(const Job& job, int64_t now) {
  int64_t takes = 0;
  switch (job.kind) {
    case JobKind::kRotate:
      StartRotation(job.position, now);
      return true;
    case JobKind::kMove: {
      bool validPosition = job.position >= 1 && job.position <= config_.positions;
      if (rotation_.turning) return false;
      if (validPosition && CurrentPosition() != job.position) {
        StartRotation(job.position, now);
        return false;
      }
      StartMove(job, now);
      return true;
    }
    case JobKind::kGateOpen:
      takes = gateOpen_ ? kGateCheckMicros : kGateMicros;
      gateMoving_ = gateOpening_ = !gateOpen_;
      break;
    case JobKind::kGateClose:
    case JobKind::kEndAccess:
      takes = gateOpen_                         ? kGateMicros
              : job.kind == JobKind::kEndAccess ? kEndAccessMicros
                                                : kGateCheckMicros;
      gateMoving_ = gateOpen_;
      gateOpening_ = false;
      break;
    case JobKind::kLift: {
      int target = std::min(job.value, kLiftTop);
      takes = LiftMicros(liftAt_, target);
      if (target > 0) liftOnSwitch_ = false;
      break;
    }
  }
  jobRunning_ = true;
  running_ = job;
  Schedule(now + takes, EventKind::kJobEnd, ++jobGeneration_);
  return true;
}

void PlcModel::StartMove(const Job& job, int64_t now) {
  MovePlan plan = PlanMove(job.relay, job.position, job.level);
  Place slot = Place::At(job.position, job.level);
  if (!plates_.Exists(slot)) return RaiseError(ErrorCounter::kBadAddress, job.relay, now);
  if (!plates_.Holds(plan.from)) return RaiseError(ErrorCounter::kSourceEmpty, job.relay, now);
  if (plates_.Holds(plan.to)) return RaiseError(ErrorCounter::kTargetFull, job.relay, now);
  if (StoppedAtRandom(faults.refuseSeed, ++possibleMoves_, faults.refuseOneIn))
    return RaiseError(ErrorCounter::kMoveStopped, job.relay, now);
  jobRunning_ = true;
  running_ = job;
  moveFrom_ = plan.from;
  moveTo_ = plan.to;
  ++jobGeneration_;
  Schedule(now + plan.deliverAfter, EventKind::kJobDeliver, jobGeneration_);
  Schedule(now + plan.endAfter, EventKind::kJobEnd, jobGeneration_);
}

void PlcModel::FinishJob(int64_t now) {
  jobRunning_ = false;
  if (running_.relay != 0) SetRelay(running_.relay, false);
  bool gateCycle = false;
  switch (running_.kind) {
    case JobKind::kMove:
      ++accesses_;
      SetDm(kAccessesWord, static_cast<uint16_t>(accesses_));
      SetDm(kPositionTestWord, static_cast<uint16_t>(PositionTestFigure(
                                   accesses_, running_.position, running_.level)));
      gateCycle = running_.relay == kLoadRelay || running_.relay == kUnloadRelay;
      break;
    case JobKind::kGateOpen:
      gateOpen_ = true;
      break;
    case JobKind::kGateClose:
    case JobKind::kEndAccess:
      gateCycle = gateOpen_;
      gateOpen_ = false;
      break;
    case JobKind::kLift:
      liftAt_ = std::min(running_.value, kLiftTop);
      if (liftAt_ == 0 && faults.liftHit) {
        liftOnSwitch_ = true;
        CountError(ErrorCounter::kLiftHit);
      }
      break;
    case JobKind::kRotate:
      break;
  }
  gateMoving_ = gateOpening_ = false;
  if (gateCycle) AddToPair(dm_[kGateCyclesLow], dm_[kGateCyclesHigh], 1);
  StartJobs(now);
}

// --- errors and reset ---

void PlcModel::CountError(ErrorCounter counter) {
  int address = static_cast<int>(counter);
  SetDm(address, static_cast<uint16_t>(Dm(address) + 1));
}

// A refused move leaves every plate where it was, drops its relay and stops the device.
// With an operator at the store, the reset comes after the operator's delay.
void PlcModel::RaiseError(ErrorCounter counter, int relay, int64_t now) {
  error_ = true;
  ++refusedMoves_;
  CountError(counter);
  SetRelay(relay, false);
  ++errorGeneration_;
  if (faults.operatorResetMicros >= 0)
    Schedule(now + faults.operatorResetMicros, EventKind::kOperatorReset, errorGeneration_);
}

void PlcModel::SystemReset(int64_t now) {
  error_ = false;
  if (jobRunning_) SetRelay(running_.relay, false);
  for (const Job& job : jobs_)
    if (job.relay != 0) SetRelay(job.relay, false);
  jobs_.clear();
  jobRunning_ = false;
  ++jobGeneration_;  // a move cut short leaves its plate where it was
  gateMoving_ = gateOpening_ = false;
  liftOnSwitch_ = false;
  resetting_ = true;
  Schedule(now + kResetMicros, EventKind::kResetEnd, ++resetGeneration_);
  Publish(now);
}

// --- shovel and turn ---

void PlcModel::MoveArm(Arm& arm, bool out, int64_t now) {
  // Without the service code in DM123 the controller won't drive them by hand.
  if (Dm(kServiceWord) != kServiceCode) return CountError(ErrorCounter::kServiceRefused);
  Schedule(SendArm(arm, out, now), EventKind::kArmSettled, 0);
  Publish(now);
}

// --- what the controller shows of it all ---

void PlcModel::Publish(int64_t now) {
  if (rotation_.turning) {
    SetDm(kPositionWord, static_cast<uint16_t>(ReportedPosition(rotation_, now)));
    SetDm(kSpeedWord, DriveSpeed(rotation_, now, Dm(kSetSpeedWord)));
  }
  SetRelay(kReady, !faults.readyStuck && !Busy() && !error_);
  SetRelay(kErrorFlag, error_);
  SetTimerDone(kCarouselMoveTimer, !rotation_.turning);
  SetTimerDone(kTurnInTimer, ArmSettled(turn_, false, now));
  SetTimerDone(kTurnOutTimer, ArmSettled(turn_, true, now));
  SetTimerDone(kShovelBackTimer, ArmSettled(shovel_, false, now));
  SetTimerDone(kShovelFrontTimer, ArmSettled(shovel_, true, now));
  bool moving = jobRunning_ && running_.kind == JobKind::kMove;
  bool lifting = jobRunning_ && running_.kind == JobKind::kLift;
  uint16_t status = (rotation_.turning ? kStatusTurning : 0) | (moving ? kStatusMoving : 0) |
                    (gateOpen_ ? kStatusGateOpen : 0) | (gateMoving_ ? kStatusGateMoving : 0) |
                    (lifting ? kStatusLift : 0) |
                    (shovel_.moving || turn_.moving ? kStatusArms : 0) |
                    (resetting_ ? kStatusReset : 0) | (!jobs_.empty() ? kStatusWaiting : 0) |
                    (error_ ? kStatusError : 0);
  SetDm(kStatusWord, status);
  PublishInputs(now);
  bool inMotion = InMotion();
  if (inMotion && motionSince_ < 0) motionSince_ = now;
  if (!inMotion && motionSince_ >= 0) {
    motionMicros_ += now - motionSince_;
    motionSince_ = -1;
  }
}

void PlcModel::PublishInputs(int64_t now) {
  bool turning = rotation_.turning;
  SetRelay(kHomePositionInput, !turning && Dm(kPositionWord) == 1);
  SetRelay(kAtPositionInput, !turning);
  SetRelay(kGateClosedInput, !gateOpen_ && !gateMoving_);
  SetRelay(kGateOpenInput, gateOpen_ && !gateMoving_);
  SetRelay(kFrontDoorInput, true);  // shut
  SetRelay(kThreePlateSwitch, config_.threePlateRoute);
  SetRelay(kTwoCarouselsSwitch, config_.twoCarousels);
  SetRelay(kPlateOnShovelInput, plates_.Holds(Place::Handler()));
  SetRelay(kTurnInInput, ArmSettled(turn_, false, now));
  SetRelay(kShovelFrontInput, ArmSettled(shovel_, true, now));
  SetRelay(kShovelBackInput, ArmSettled(shovel_, false, now));
  SetRelay(kTurnOutInput, ArmSettled(turn_, true, now));
  SetRelay(kLiftInitSwitch, liftOnSwitch_);
  SetRelay(kRotationEnabled, turning);
  SetRelay(kGateEnabled, gateMoving_);
  SetRelay(kRotationDirection, turning);
  SetRelay(kGateDirection, gateMoving_ && gateOpening_);
  SetRelay(kCarouselDrive, Relay(kCarouselActivation));
  SetRelay(kErrorLed, error_);
  SetRelay(kAccessRunning, (jobRunning_ && running_.kind == JobKind::kMove) || gateOpen_);
}

// --- operating counters ---

// Books powered time and time in motion once a minute, as the controller does to spare
// its retentive memory.
void PlcModel::Book(int64_t now) {
  while (nextBooking_ >= 0 && nextBooking_ <= now) {
    int64_t motion = motionMicros_ + (motionSince_ >= 0 ? nextBooking_ - motionSince_ : 0);
    auto seconds = static_cast<uint32_t>((motion - bookedMotionMicros_) / 1000000);
    bookedMotionMicros_ += int64_t{seconds} * 1000000;
    AddToPair(dm_[kOnTimeLow], dm_[kOnTimeHigh], seconds);
    uint32_t before = poweredSeconds_;
    poweredSeconds_ += kBookingMicros / 1000000;
    AddToPair(dm_[kPoweredLow], dm_[kPoweredHigh], kBookingMicros / 1000000);
    if (poweredSeconds_ / 3600 != before / 3600)
      SetDm(kHoursWord, static_cast<uint16_t>(Dm(kHoursWord) + 1));
    nextBooking_ += kBookingMicros;
  }
}

}  // namespace plcsim
