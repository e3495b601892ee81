// The texts the launcher image carries in its stamped slots before the builder
// overwrites them. Stamping writes in place, so each text is the slot's room
// (its length and a terminator); a slot that still reads as its text was never
// stamped. Plain #defines: the resource compiler reads this file too.
#pragma once

#define TARNWICK_ORIGINAL_FILENAME_PLACEHOLDER "Login.exe                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                                   Login.exe"
// 20 characters, the most a game name is cut to.
#define TARNWICK_GAME_NAME_PLACEHOLDER "GameName placeholder"
// 200 characters, the most a list address is cut to.
#define TARNWICK_SERVER_LIST_PLACEHOLDER "ServerList placeholder ServerList placeholder ServerList placeholder ServerList placeholder ServerList placeholder ServerList placeholder ServerList placeholder ServerList placeholder ServerList place"
// 519 characters: a program path of MAX_PATH and its arguments.
#define TARNWICK_GAME_CLIENT_PLACEHOLDER "GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient placeholder GameClient pl"
