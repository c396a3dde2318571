// The simulated controller and plate store: relays, timers and 65536 data words,
// answering the request/reply protocol as the real controller does, and a device behind
// them: carousel, handler, gate, lift, shovel and turn, and the plates they move.
// Time is passed in by the caller (monotonic microseconds) and the model catches up
// lazily, so the same model runs under the virtual clock in tests and under the real
// clock behind a pseudo-terminal.
//
// Derived relays and words (Ready, PlateReady, ErrorFlag, sensors, DM200 ...) are written
// whenever the device's state changes; a test may overwrite one with SetRelay or SetDm and
// it keeps that value until the next change. DM1 is the carousel's position: written
// while it turns, and read as the starting point of the next turn.
#pragma once
#include "plcsim/addresses.h"
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "plcsim/carousel.h"
#include "plcsim/counters.h"
#include "plcsim/mechanics.h"
#include "plcsim/plates.h"

namespace plcsim {

struct SimConfig {
  int positions = 9;             // DM29
  int levels = 10;               // DM25
  int serialNo = 1234;           // DM109
  bool threePlateRoute = false;  // relay 1703
  bool twoCarousels = false;     // relay 3003
  std::vector<Slot> plates = {{1, 1}};
  // The carousel's time to pass one position; a much shorter one makes a carousel that
  // turns faster than the console reads its position.
  int64_t turnStepMicros = kTurnStepMicros;
  // The unit's history when the model starts: seconds powered and in motion, gate cycles.
  uint32_t poweredSeconds = 812 * 3600 + 1234;
  uint32_t onSeconds = 1082040;
  uint32_t gateCycles = 23456;
};

// Faults of the device itself; line faults are in SimLine.
struct ModelFaults {
  bool readyStuck = false;     // Ready reads "0" whatever the device does
  bool wrongPosition = false;  // turns of 2+ steps report position 1 on their first step
  bool liftHit = false;        // the lift runs onto its initialisation switch at home
  // About one move in this many is stopped although it could be made, as a real store now
  // and then stops one (a sensor that doesn't confirm in time): refused like an impossible
  // move, counted in DM216. Which moves is fixed by the seed, so a run can be repeated.
  // 0: none.
  int refuseOneIn = 0;
  uint32_t refuseSeed = 1;
  // How the store gets going again: an operator at the store resets a standing error this
  // long after it arose, as System Reset (relay 1900) does. -1: the error stands until
  // System Reset comes over the line.
  int64_t operatorResetMicros = -1;
};


class PlcModel {
 public:
  explicit PlcModel(SimConfig config = {});

  // One request line without its line end, received at `now`. Returns the reply
  // without line end; an empty result means the controller stays silent.
  std::string Handle(std::string_view request, int64_t nowMicros);

  // Brings timed processes (carousel, handler, gate ...) up to `now`.
  void Advance(int64_t nowMicros);

  bool Relay(int n) const;
  void SetRelay(int n, bool on);
  uint16_t Dm(int address) const { return dm_[static_cast<size_t>(address) & 0xFFFF]; }
  void SetDm(int address, uint16_t value) { dm_[static_cast<size_t>(address) & 0xFFFF] = value; }
  bool TimerDone(int n) const;
  void SetTimerDone(int n, bool done) { timers_[n] = done; }

  const SimConfig& Config() const { return config_; }
  // Every request handled, in order, as received (for tests that judge the traffic).
  const std::vector<std::string>& Requests() const { return requests_; }

  // Where every plate is.
  const PlateStore& Plates() const { return plates_; }
  PlateStore& Plates() { return plates_; }
  // An error stands from a refused move until System Reset (relay 1900), or until the
  // operator resets it at the store (ModelFaults::operatorResetMicros).
  bool ErrorStands() const { return error_; }
  // Moves refused since the start: impossible ones, those stopped at random
  // (ModelFaults::refuseOneIn) and those asked for while an error stood.
  int RefusedMoves() const { return refusedMoves_; }
  // Plates the store started with that are nowhere now: in no slot, not on the handler,
  // not on the transfer station.
  int PlatesLost() const { return startPlates_ - plates_.Count(); }
  // Whether anything moves or waits to move.
  bool Busy() const;
  // Carousel targets (DM0) and handler moves that arrived while the store was not ready
  // for them (busy, or an error standing); a move that only waits behind the turn to its
  // own target, sent just before it, is in order. The store queues them; a console that
  // waits for Ready sends none.
  int MovesWhileNotReady() const { return movesWhileNotReady_; }

  ModelFaults faults;
  // Keep every request for Requests(); a long run turns this off.
  bool logRequests = true;

 private:
  enum class EventKind {
    kRotationEnd,
    kJobDeliver,
    kJobEnd,
    kResetEnd,
    kArmSettled,
    kOperatorReset
  };
  struct Event {
    EventKind kind;
    uint32_t generation;
  };
  enum class JobKind { kMove, kRotate, kGateOpen, kGateClose, kEndAccess, kLift };
  struct Job {
    JobKind kind;
    int relay = 0;     // the relay that asked for it; dropped when it ends
    int position = 0;  // carousel target or slot position
    int level = 0;
    int value = 0;  // lift target
  };

  std::string Execute(std::string_view request, int64_t now);
  void OnRelaySet(int n, int64_t now);
  void OnRelayReset(int n, int64_t now);
  void OnDmWritten(int address, int64_t now);
  void NoteMoveArriving();

  // Device side (model_device.cpp).
  void Schedule(int64_t at, EventKind kind, uint32_t generation);
  void Process(const Event& event, int64_t at);
  void Enqueue(const Job& job, int64_t now);
  void StartJobs(int64_t now);
  bool StartJob(const Job& job, int64_t now);
  void StartMove(const Job& job, int64_t now);
  void FinishJob(int64_t now);
  void StartRotation(int target, int64_t now);
  void FinishRotation(int64_t now);
  void RaiseError(ErrorCounter counter, int relay, int64_t now);
  void SystemReset(int64_t now);
  void MoveArm(Arm& arm, bool out, int64_t now);
  void CountError(ErrorCounter counter);
  void Publish(int64_t now);
  void PublishInputs(int64_t now);
  void Book(int64_t now);
  bool InMotion() const;
  int CurrentPosition() const;

  SimConfig config_;
  std::vector<uint16_t> dm_;
  std::map<int, bool> relays_;
  std::map<int, bool> timers_;
  std::vector<std::string> requests_;

  PlateStore plates_;
  int startPlates_ = 0;
  int refusedMoves_ = 0;
  int movesWhileNotReady_ = 0;
  // Pending events; each carries its activity's generation, so a cancelled activity's
  // events are recognised and ignored.
  std::multimap<int64_t, Event> events_;
  int64_t now_ = -1;

  Rotation rotation_;
  uint32_t rotationGeneration_ = 0;
  std::deque<Job> jobs_;
  bool jobRunning_ = false;
  Job running_{JobKind::kMove};
  uint32_t jobGeneration_ = 0;
  Place moveFrom_, moveTo_;

  bool error_ = false;
  uint32_t errorGeneration_ = 0;  // one for every error raised: the operator resets the last
  uint32_t possibleMoves_ = 0;    // moves that could be made, numbered for the random stops
  bool resetting_ = false;
  uint32_t resetGeneration_ = 0;
  bool gateOpen_ = false;
  bool gateMoving_ = false;
  bool gateOpening_ = false;
  int liftAt_ = 0;
  bool liftOnSwitch_ = false;
  Arm shovel_, turn_;
  uint32_t accesses_ = 0;

  // Time booking: powered and in-motion time, booked to the counters once a minute.
  int64_t nextBooking_ = -1;
  int64_t motionMicros_ = 0;  // in motion, up to motionSince_
  int64_t motionSince_ = -1;  // start of the current motion, -1 at rest
  int64_t bookedMotionMicros_ = 0;
  uint32_t poweredSeconds_ = 0;  // booked so far, with the history
};

}  // namespace plcsim
