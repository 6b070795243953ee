// Favourites and forbidden combinations in the registry keys "Favorites" and "Forbidens".
#pragma once

void loadFavorites();
void addFavorite();
bool deleteFavorite(unsigned number);
void loadForbiddens();
unsigned addForbidden(int wave, int flame, int display);
bool deleteForbidden(unsigned number);
// Rewrites every favourite stored by version 1.40 in the current form.
void upgradeFavorites();
