// Where the scene puts what the tests look for, in window units, as a user
// sees it on screen: the harness and its callers name these points here,
// once, and never read the program's own headers.
#ifndef KELVARO_SCENE_POINTS_H
#define KELVARO_SCENE_POINTS_H

// The machine's top-left corner at rest on the deck.
const int REST_X = 350, REST_Y = 159;

// The sun: a disc of this radius about this centre, in a colour no option
// changes.
const int SUN_CX = 30, SUN_CY = 30, SUN_R = 20;

// The machine's picture has its first pure red at this row and column of its
// 40x40 picture: no red lies above or left of it, and nothing else in the
// scene is pure red.
const int RED_BAND_COLUMN = 13, RED_BAND_ROW = 27;

// A press here, on the machine at rest, and a release there launch it.
const int GRAB_X = 370, GRAB_Y = 180;
// A press here, away from the machine, puts it back after a flight.
const int AWAY_X = 100, AWAY_Y = 100;

// Ticks of a flight come this many seconds apart, the first one inside the
// release that launches it.
const double SECONDS_PER_TICK = 0.03;

// The machine's top-left corner after each tick of a launch from rest
// without a drag: 21 ticks, landing at (197, 315).
const int REST_FLIGHT[][2] = {
  {349, 159}, {347, 159}, {344, 159}, {340, 159}, {335, 159}, {329, 159},
  {322, 159}, {314, 159}, {305, 159}, {296, 161}, {287, 165}, {278, 171},
  {269, 179}, {260, 189}, {251, 201}, {242, 215}, {233, 231}, {224, 249},
  {215, 269}, {206, 291}, {197, 315},
};
const int REST_FLIGHT_TICKS = sizeof REST_FLIGHT / sizeof REST_FLIGHT[0];
const int LANDING_X = REST_FLIGHT[REST_FLIGHT_TICKS - 1][0],
          LANDING_Y = REST_FLIGHT[REST_FLIGHT_TICKS - 1][1];

#endif
