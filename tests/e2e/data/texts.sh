# tests/e2e/data/texts.sh — the program's own texts that the end-to-end scripts look for, as a user reads them.
# e2e_text_re makes one the pattern of the same text in Wine's relay trace; "%s" stands for a time, or a word left out.
TXT_TITLE="Tarveil XP"
TXT_FORMAT_TITLE="Format de l'heure incorrect !"
TXT_FORMAT="Veuillez redéfinir une heure (hh:mm:ss)"
TXT_EXAMPLE="Exemple :                   20:30:00"
TXT_ICON_REFUSED=$'L\'icône n\'a pas pu être placée dans la zone de notification : la fenêtre reste affichée.\nL\'heure programmée reste valable.'
TXT_RESTART_FAILED="Le redémarrage de l'ordinateur a échoué."
TXT_RESTART_NOT_COME="Windows a accepté le redémarrage de l'ordinateur, mais il n'a pas eu lieu : %s"
TXT_MISSED=$'L\'heure programmée, %s, est passée pendant que l\'ordinateur était en veille ou que le programme était arrêté : l\'action prévue n\'a pas eu lieu.\nElle aura lieu quand l\'horloge affichera de nouveau %s, sauf si vous fermez le programme.'
TXT_HIBERNATE_OFF="La mise en veille prolongée est désactivée sur cet ordinateur : %s"
TXT_USAGE=$'Utilisation : "Tarveil XP.exe" hh:mm:ss [action]\n%s'
TXT_TIME_REFUSED=$'Heure refusée : "%s".\n\nUtilisation : %s'
# the balloon at arming: what and when, then what the user should know
TXT_BALLOON_OFF="Arrêt de l'ordinateur à %s."
TXT_BALLOON_PLAN=$'\nLes options d\'alimentation n\'autorisent pas les minuteurs de sortie de veille : l\'ordinateur ne sortira pas de veille de lui-même.'
TXT_BALLOON_CLICK=$'\nCliquez sur l\'icône pour afficher la fenêtre.'
# the command line a restart gives shutdown.exe
TXT_RESTART_LINE="Shutdown -r -t 00 -c Redémarrage_de_l'ordinateur_par_Tarveil_XP."
