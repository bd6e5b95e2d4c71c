// Resource ids of gridview.
#pragma once

#define IDR_MAINMENU 101
#define IDD_NOTES 103

#define IDM_OPEN 201
#define IDM_EXIT 202
#define IDM_SELECT_ALL 203
#define IDM_SELECT_WINDOW 204
#define IDM_COLOR_MAP 205
#define IDM_GREYSCALE 206
#define IDM_NORTH_WEST 207
#define IDM_SOUTH_WEST 208
#define IDM_NORTH_EAST 209
#define IDM_SOUTH_EAST 210
#define IDM_NOTES 211
