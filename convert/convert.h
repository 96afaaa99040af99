// The convert command: the path box's file, as a WAV file where the user says.
#pragma once

void OnConvert(void);
