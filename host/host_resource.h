// Resource identifiers of the stand-in host, plain defines so that the resource compiler reads them too.
#pragma once

// Resources.
#define IDM_HOST_MENU 100
#define IDA_HOST_ACCEL 101
#define IDD_HOST_CONFIRM 200

// Commands and controls carry the numbers of host_protocol.h; main.cpp checks them with static_assert.
#define IDC_HOST_COPY 32781
#define IDC_HOST_REFRESH 40001
#define IDC_HOST_EXIT 40002
#define IDC_HOST_ABOUT 40003

// Controls of the confirmation dialog.
#define IDC_HOST_DLG_SOURCE 1100
#define IDC_HOST_DLG_DESTINATION 1101
#define IDC_HOST_DLG_TREE 1102
