// The settings record and its registry store.
#include "settings.h"

SettingsRecord Settings;
