// Every page's title string and dialog template, plain numbers so that resource scripts can
// use them.
#pragma once

#define IDS_TITLE 1
#define IDD_PROPPAGE 100
