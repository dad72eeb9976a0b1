[10][25]Hello|/there
[30][40]Second
