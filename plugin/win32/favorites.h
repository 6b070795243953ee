// Favourites and forbidden combinations in the registry.
#pragma once

// Rewrites every favourite stored by version 1.40 in the current form.
void upgradeFavorites();
