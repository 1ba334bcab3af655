#pragma once
// The thumbnail commands of the menus: 2306 (dialog, sheet, optional upload), 2304, 2019,
// 2009, 2008 (the screenshot series), 2305 (thumbnail window), 2401 (upload of the sheet).
void GenerateThumbWithDialog();
void ThumbSeries64();
void ThumbMenuWindowCommand();
void SendSheetToImageHost();
