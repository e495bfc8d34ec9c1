#pragma once
// The input format of fuzz_window_intake, shared with the program that writes its seeds. An
// input is a sequence of operations on one device window, each a byte followed by its data:
//
//   'F' header[188] count:u8 records[count * 408]   a frame handed over as the subtool does (the
//                                                   header's own sample count may say otherwise)
//   'T'                                             a timer tick
//   'P' on:u8                                       pause or go live
//   'H' on:u8                                       hierarchical or flat tree
//   'B' on:u8                                       bubble removal on or off
//   'S' position:u8                                 select a history position and read the model
//   'C' index:u8                                    pick a swap chain in the combo box
//   'X' time:u16                                    move the timeline cursor (time in 10 us steps)
//   'M' kib:u8                                      bound the history's memory to (kib + 1) KiB, so
//                                                   that recordings drop the oldest frames early
//
// Data that runs past the end of the input reads as zeros.

inline constexpr unsigned char WINDOW_SCRIPT_FRAME = 'F';
inline constexpr unsigned char WINDOW_SCRIPT_TICK = 'T';
inline constexpr unsigned char WINDOW_SCRIPT_PAUSE = 'P';
inline constexpr unsigned char WINDOW_SCRIPT_HIERARCHY = 'H';
inline constexpr unsigned char WINDOW_SCRIPT_BUBBLES = 'B';
inline constexpr unsigned char WINDOW_SCRIPT_SELECT = 'S';
inline constexpr unsigned char WINDOW_SCRIPT_COMBO = 'C';
inline constexpr unsigned char WINDOW_SCRIPT_CURSOR = 'X';
inline constexpr unsigned char WINDOW_SCRIPT_MEMORY = 'M';
