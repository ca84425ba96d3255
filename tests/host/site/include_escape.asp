<!-- #include file="../secret.txt" -->
