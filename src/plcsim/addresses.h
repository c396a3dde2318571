// The simulated controller's address map: every relay, timer and data word the model
// reads or drives, named once here. The console keeps a map of its own; the two meet
// only on the line, so a wrong address on either side shows in the traffic.
#pragma once
#include <cstdint>

namespace plcsim {

// Relays the PC sets or reads.
inline constexpr int kShovelRelay = 1701;
inline constexpr int kTurnRelay = 1702;
inline constexpr int kThreePlateRouteRelay = 1703;
inline constexpr int kCarouselActivation = 1801;
inline constexpr int kErrorFlag = 1814;
inline constexpr int kPlateReady = 1815;
inline constexpr int kSystemReset = 1900;
inline constexpr int kGateOpenRelay = 1901;
inline constexpr int kGateCloseRelay = 1902;
inline constexpr int kEndAccessRelay = 1903;
inline constexpr int kLoadRelay = 1904;    // transfer station -> slot
inline constexpr int kUnloadRelay = 1905;  // slot -> transfer station
inline constexpr int kPickRelay = 1908;    // slot -> handler
inline constexpr int kPlaceRelay = 1909;   // handler -> slot
inline constexpr int kReady = 1915;
inline constexpr int kTwoCarouselsRelay = 3003;
inline constexpr int kServiceAccessRelay = 1104;  // "KeyVld": the service code is in DM123

// The inputs the flag monitor shows, as the device drives them.
inline constexpr int kHomePositionInput = 0;  // P0
inline constexpr int kAtPositionInput = 1;    // Pn
inline constexpr int kGateClosedInput = 2, kGateOpenInput = 3;
inline constexpr int kFrontDoorInput = 5;
inline constexpr int kThreePlateSwitch = 6, kTwoCarouselsSwitch = 7;
inline constexpr int kPlateOnShovelInput = 10;
inline constexpr int kTurnInInput = 11, kShovelFrontInput = 12, kShovelBackInput = 13;
inline constexpr int kTurnOutInput = 14;
inline constexpr int kLiftInitSwitch = 15;
inline constexpr int kRotationEnabled = 500, kGateEnabled = 501, kRotationDirection = 502;
inline constexpr int kGateDirection = 503, kCarouselDrive = 504, kErrorLed = 505;
inline constexpr int kAccessRunning = 1100;

// Timers: contact "1" once the mechanism has settled.
inline constexpr int kTurnInTimer = 11, kShovelFrontTimer = 12, kShovelBackTimer = 13;
inline constexpr int kTurnOutTimer = 14;
inline constexpr int kCarouselMoveTimer = 20;

// Data words (the error counters DM211 .. DM219 are ErrorCounter, counters.h).
inline constexpr int kTargetWord = 0;    // carousel target
inline constexpr int kPositionWord = 1;  // carousel position
inline constexpr int kSpeedWord = 2;     // drive speed while turning
inline constexpr int kLevelWord = 5;     // level of the next move
inline constexpr int kLiftWord = 6;      // lift target
inline constexpr int kLevelsWord = 25, kPositionsWord = 29;
inline constexpr int kSetSpeedWord = 91, kRampUpWord = 92, kRampDownWord = 93;
inline constexpr int kSerialWord = 109;
inline constexpr int kHoursWord = 110;
inline constexpr int kGateCyclesLow = 111, kGateCyclesHigh = 112;
inline constexpr int kOnTimeLow = 117, kOnTimeHigh = 118;    // seconds in motion
inline constexpr int kPoweredLow = 119, kPoweredHigh = 120;  // seconds powered
inline constexpr int kAccessesWord = 121;                    // handler moves since power-up
inline constexpr int kServiceWord = 123;
inline constexpr uint16_t kServiceCode = 52917;  // DM123 value that frees shovel and turn
inline constexpr int kStatusWord = 200;
inline constexpr int kPositionTestWord = 350;

}  // namespace plcsim
