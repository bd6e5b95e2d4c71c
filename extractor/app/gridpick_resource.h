// Resource and control ids of gridpick's two dialogs, for the resource script and the
// dialog procedures alike (plain defines, so that the resource compiler reads them).
#pragma once

#define IDD_SELECT 101
#define IDD_OUTPUT 102

#define IDC_TILE_NAME 1000
#define IDC_LONGITUDE 1001
#define IDC_LATITUDE 1002
#define IDC_KM_EAST 1003
#define IDC_KM_SOUTH 1004

#define IDC_COLS 1006
#define IDC_ROWS 1007
#define IDC_TOTAL_POINTS 1008
#define IDC_START_EASTING 1009
#define IDC_START_NORTHING 1010
#define IDC_REMOVE_COUNT 1011
#define IDC_TO_FEET 50
#define IDC_RECTANGULAR 40
#define IDC_PROJECT_NORTH 20
#define IDC_CSV_GRID 30
#define IDC_COORDINATES 1012
#define IDC_SKIP_NODATA 60
#define IDC_DXF_CONTOURS 70
#define IDC_CONTOUR_INTERVAL 1013
#define IDC_INDEX_EVERY 1014
#define IDC_LANDXML_TIN 80
#define IDC_DXF_TIN 90
#define IDC_TOLERANCE 1015
