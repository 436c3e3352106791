"""Drawing helpers of the game's art generator (tools/make_art.py): PNG writing, anti-aliased
shape filling, a bitmap font and the game's drawings. Python 3 standard library only."""
