// Controller addresses that more than one screen or operation relies on, by meaning.
// Relay and timer numbers as they are sent ("RD 1915"); data words by their address
// ("RD DM1" reads word 1).
#pragma once
#include <cstdint>

// Relays.
constexpr int32_t kLiftInitSwitchRelay = 15;  // the lift stands on its initialisation switch
constexpr int32_t kShovelRelay = 1701;        // shovel front (set) and back (reset)
constexpr int32_t kTurnRelay = 1702;          // turn out (set) and in (reset)
constexpr int32_t kThreePlateRouteRelay = 1703;  // storage variant: plates change stacks on the handler
constexpr int32_t kCarouselActivationRelay = 1801;
constexpr int32_t kErrorFlagRelay = 1814;
constexpr int32_t kPlateReadyRelay = 1815;
constexpr int32_t kMacroPRelay = 1810;  // set by key P of the macro screen, reset by key L
constexpr int32_t kSystemResetRelay = 1900;
constexpr int32_t kGateOpenRelay = 1901;
constexpr int32_t kGateCloseRelay = 1902;
constexpr int32_t kEndAccessRelay = 1903;
constexpr int32_t kLoadRelay = 1904;    // transfer station into the slot
constexpr int32_t kUnloadRelay = 1905;  // slot to the transfer station
constexpr int32_t kShakerRelay = 1907;  // set by key S of the macro screen, reset by key F
constexpr int32_t kPickRelay = 1908;    // slot onto the handler
constexpr int32_t kPlaceRelay = 1909;   // handler into the slot
constexpr int32_t kReadyRelay = 1915;
constexpr int32_t kTwoCarouselsRelay = 3003;  // storage variant: two carousels

// Timers.
constexpr int32_t kTurnInTimer = 11;     // turn settled in
constexpr int32_t kShovelFrontTimer = 12;  // shovel settled front
constexpr int32_t kShovelBackTimer = 13;   // shovel settled back
constexpr int32_t kTurnOutTimer = 14;    // turn settled out
constexpr int32_t kCarouselMoveTimer = 20;  // a carousel move has ended

// Data-memory words.
constexpr uint16_t kTargetPositionDM = 0;  // writing it turns the carousel there
constexpr uint16_t kCarouselPositionDM = 1;
constexpr uint16_t kTargetLevelDM = 5;
constexpr uint16_t kLiftTargetDM = 6;
constexpr uint16_t kLevelCountDM = 25;
constexpr uint16_t kPositionCountDM = 29;  // 0 means 9
constexpr uint16_t kSerialNumberDM = 109;
// Operating counters; a figure beyond 16 bits is a pair read as high * 65535 + low.
constexpr uint16_t kOperatingHoursDM = 110;
constexpr uint16_t kGateCyclesLowDM = 111, kGateCyclesHighDM = 112;
constexpr uint16_t kOnTimeLowDM = 117, kOnTimeHighDM = 118;        // seconds
constexpr uint16_t kReferenceTimeLowDM = 119, kReferenceTimeHighDM = 120;  // of the percentage
constexpr uint16_t kAccessesDM = 121;  // shown with DM120 by macro I
constexpr uint16_t kServiceWordDM = 123;   // 0 before every menu function
// Written to the service word, it lets the shovel and turn be driven by hand; the value
// is the controller program's own.
constexpr uint16_t kServiceCode = 52917;
constexpr uint16_t kSystemStatusDM = 200;
constexpr uint16_t kFirstErrorCounterDM = 211;  // DM211 .. DM219
constexpr uint16_t kPositionTestDM = 350;
