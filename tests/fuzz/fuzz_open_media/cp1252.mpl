[10][25]Café crème
[30][40]Second
