<!-- #include virtual="/../secret.txt" -->
